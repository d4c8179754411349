#include "project/session/projectsession.h"
#include "runs/commandline.h"
#include "runs/commandlinesteps.h"
#include "runs/runservices.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

StartupFlags parse(const QStringList &arguments)
{
    return ParseCommandLine(QStringList{QStringLiteral("/opt/Quill/QuillCast")} + arguments);
}

// The flags that are set, in a fixed order, for comparison.
QStringList setFlags(const StartupFlags &flags)
{
    QStringList set;
    const std::pair<bool, const char *> all[] = {
        {flags.LoadFlag, "load"},     {flags.UrlListFlag, "urllist"}, {flags.SitemapFlag, "sitemap"},
        {flags.NewKeyFlag, "newkey"}, {flags.KeyFileFlag, "keyfile"}, {flags.RunFlag, "run"},
        {flags.CheckFlag, "check"},   {flags.SearchFlag, "search"},   {flags.ExitFlag, "exit"},
        {flags.DebugMode, "debug"},   {flags.TestMode, "test"}};
    for (const auto &[on, name] : all)
        if (on)
            set << QLatin1String(name);
    return set;
}

TEST(CommandLine, SwitchesTheirFileNamesAndMistakes)
{
    const struct
    {
        const char *behaviour;
        QStringList arguments;
        QStringList flags;
        QString load;
        QString urlList;
        QStringList errors;
        QStringList sitemaps = {};
        QString keyDirectory = {};
    } cases[] = {
        {"the unattended sequence",
         {"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/search", "/exit"},
         {"load", "urllist", "run", "search", "exit"},
         "site.qlc",
         "urls.txt",
         {}},
        {"an absolute path is a file name",
         {"/load", "/home/ann/site.qlc", "/test"},
         {"load", "test"},
         "/home/ann/site.qlc",
         "",
         {}},
        {"letter case counts",
         {"/load", "p.qlc", "/RUN", "/Debug", "/debug"},
         {"load", "debug"},
         "p.qlc",
         "",
         {"unknown switch \"/RUN\"", "unknown switch \"/Debug\""}},
        {"a switch is no file name",
         {"/load", "/run", "/exit"},
         {"run", "exit"},
         "",
         "",
         {"\"/load\" needs a file name after it", "\"/run\" needs a project named by \"/load\""}},
        {"a file name missing at the end",
         {"/load", "p.qlc", "/urllist"},
         {"load"},
         "p.qlc",
         "",
         {"\"/urllist\" needs a file name after it"}},
        {"steps need a project",
         {"/urllist", "u.txt", "/run", "/search"},
         {"urllist", "run", "search"},
         "",
         "u.txt",
         {"\"/urllist\" needs a project named by \"/load\"", "\"/run\" needs a project named by \"/load\"",
          "\"/search\" needs a project named by \"/load\""}},
        {"a sitemap in the place of the URL list",
         {"/load", "site.qlc", "/sitemap", "https://site.example/sitemap.xml", "/run", "/exit"},
         {"load", "sitemap", "run", "exit"},
         "site.qlc",
         "",
         {},
         {"https://site.example/sitemap.xml"}},
        {"several sitemaps, each once",
         {"/load", "site.qlc", "/sitemap", "a.xml", "/sitemap", "https://b.example/s.xml", "/sitemap", "a.xml"},
         {"load", "sitemap"},
         "site.qlc",
         "",
         {},
         {"a.xml", "https://b.example/s.xml"}},
        {"a run with page checks",
         {"/load", "site.qlc", "/run", "/check"},
         {"load", "run", "check"},
         "site.qlc",
         "",
         {}},
        {"page checks need a project",
         {"/check", "/exit"},
         {"check", "exit"},
         "",
         "",
         {"\"/check\" needs \"/run\": the pages are checked before a submission run",
          "\"/check\" needs a project named by \"/load\""}},
        {"page checks need a run",
         {"/load", "site.qlc", "/check", "/search"},
         {"load", "check", "search"},
         "site.qlc",
         "",
         {"\"/check\" needs \"/run\": the pages are checked before a submission run"}},
        {"the IndexNow key steps",
         {"/load", "site.qlc", "/newkey", "/keyfile", "/var/www/site", "/exit"},
         {"load", "newkey", "keyfile", "exit"},
         "site.qlc",
         "",
         {},
         {},
         "/var/www/site"},
        {"the key steps need a directory and a project",
         {"/newkey", "/keyfile", "/exit"},
         {"newkey", "exit"},
         "",
         "",
         {"\"/keyfile\" needs a directory after it", "\"/newkey\" needs a project named by \"/load\""}},
        {"a URL list and a sitemap together",
         {"/load", "p.qlc", "/sitemap", "s.xml", "/urllist", "u.txt"},
         {"load", "urllist", "sitemap"},
         "p.qlc",
         "u.txt",
         {"\"/urllist\" and \"/sitemap\" cannot both be given"},
         {"s.xml"}},
        {"a sitemap needs its name and a project",
         {"/sitemap", "/exit", "/sitemap", "s.xml"},
         {"sitemap", "exit"},
         "",
         "",
         {"\"/sitemap\" needs a file name after it", "\"/sitemap\" needs a project named by \"/load\""},
         {"s.xml"}},
        {"help and version are answered elsewhere", {"--help", "-h", "--version"}, {}, "", "", {}},
        {"anything else is a mistake",
         {"--verbose", "run"},
         {},
         "",
         "",
         {"unknown switch \"--verbose\"", "unknown switch \"run\""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const StartupFlags flags = parse(c.arguments);
        EXPECT_EQ(setFlags(flags), c.flags);
        EXPECT_EQ(flags.LoadArgument, c.load);
        EXPECT_EQ(flags.UrlListArgument, c.urlList);
        EXPECT_EQ(flags.SitemapArguments, c.sitemaps);
        EXPECT_EQ(flags.KeyFileArgument, c.keyDirectory);
        EXPECT_EQ(flags.UsageErrors, c.errors);
    }
}

TEST(CommandLine, ParameterTextListsTheArgumentsLowerCasedButNotTheFileNamesTaken)
{
    EXPECT_EQ(parse({"/debug", "a", "B"}).ParameterText, QStringLiteral("/opt/quill/quillcast\n/debug\na\nb\n"));
    EXPECT_EQ(parse({"/load", "Site.qlc", "/LOAD"}).ParameterText,
              QStringLiteral("/opt/quill/quillcast\n/load\n/load\n"));
    // "All Parameters" adds to each switch the value it took; the last /load counts.
    EXPECT_EQ(ParametersWithValues(parse({"/debug", "/load", "Old.qlc", "/LOAD", "/sitemap", "A.xml", "/load",
                                          "Site.qlc", "/sitemap", "B.xml", "/keyfile", "/srv/Www"})),
              QStringLiteral("/opt/quill/quillcast\n/debug\n/load\n/load\n/sitemap A.xml\n/load Site.qlc\n"
                             "/sitemap B.xml\n/keyfile /srv/Www\n"));
}

TEST(CommandLine, AProjectWhoseDataLiesInItsOwnDirectoryNamesWhereToStart)
{
    qctest::ScopedBaseDir dir;
    const QString base = dir.file("cron-home"), site = dir.file("qc");
    QDir().mkpath(base);
    QDir().mkpath(site);
    qctest::writeFile(site + "/mysite.qlc", "[Setup]\r\nProject ID=1\r\n");
    qctest::writeFile(base + "/here.qlc", "[Setup]\r\nProject ID=1\r\n");
    const auto misplaced = [&](const QString &load) {
        return MisplacedBaseDirectory(base, parse({"/load", load, "/run"}));
    };
    // Without data beside the project there is nothing to find elsewhere.
    EXPECT_EQ(misplaced(site + "/mysite.qlc"), QString());
    qctest::writeFile(site + "/urls2.db", "");
    EXPECT_EQ(misplaced("../qc/mysite.qlc"), "the base directory " + base + " holds no urls2.db, but " + site +
                                                 " (where mysite.qlc is) does: start in " + site + " (cd " + site +
                                                 ") so that the project's URLs and what they were sent are found.");
    EXPECT_EQ(misplaced("here.qlc"), QString());
    EXPECT_EQ(misplaced("../qc/missing.qlc"), QString()) << "told as a project that cannot be opened";
    // A table that a start in the wrong place left behind does not silence the guard.
    qctest::writeFile(base + "/urls2.db", "");
    EXPECT_EQ(misplaced(site + "/mysite.qlc"),
              "the base directory " + base + " is not " + site + ", where mysite.qlc and its urls2.db are: start in " +
                  site + " (cd " + site + ") so that the project's URLs and what they were sent are found.");
    EXPECT_EQ(misplaced("here.qlc"), QString());
}

// Records what the steps ask of their host, in order.
struct RecordingHost : CommandLineSteps::Host
{
    QStringList events;
    bool holdGranted = true;
    bool runsSucceed = true;

    void tell(const QString &caption, const QString &, CommandLineSteps::Tone) override { events << "tell " + caption; }
    void failed(const std::exception &) override { events << "failed"; }
    void imported(const QStringList &, const QString &) override { events << "imported"; }
    bool hold() override
    {
        events << "hold";
        return holdGranted;
    }
    void release() override { events << "release"; }
    void projectOpened() override { events << "opened"; }
    void keyMade() override { events << "key"; }
    bool runStep(bool search) override
    {
        events << (search ? "search" : "submit");
        return runsSucceed;
    }
};

TEST(CommandLineSteps, RunInOrderAndTheFirstFailureEndsThem)
{
    enum Host { Grants, RefusesHold, RunsFail };
    const struct
    {
        const char *behaviour;
        QStringList arguments;
        QStringList events;
        bool done;
        bool tableMade; // urls2.db and lists/ in the base directory afterwards
        Host host = Grants;
    } cases[] = {
        {"every step, in order, under one hold",
         {"/search", "/run", "/newkey", "/urllist", "u.txt", "/load", "p.qlc"},
         {"opened", "hold", "imported", "key", "submit", "search", "release"},
         true,
         true},
        {"a project alone takes no hold", {"/load", "p.qlc"}, {"opened"}, true, true},
        {"a refused ID ends the steps before the hold",
         {"/load", "bad.qlc", "/urllist", "u.txt", "/run"},
         {"opened", "tell Cannot open project"},
         false,
         false},
        {"a held directory ends the steps before the import",
         {"/load", "p.qlc", "/urllist", "u.txt", "/run"},
         {"opened", "hold"},
         false,
         false,
         RefusesHold},
        {"a failed import ends the steps before the key",
         {"/load", "p.qlc", "/urllist", "none.txt", "/newkey", "/run"},
         {"opened", "hold", "imported", "tell URL List not found", "release"},
         false,
         true},
        {"a failed key file ends the steps before the run",
         {"/load", "p.qlc", "/newkey", "/keyfile", "no/dir", "/run"},
         {"opened", "hold", "key", "tell Key file not written", "release"},
         false,
         true},
        {"a run that did not end ends the steps before the search",
         {"/load", "p.qlc", "/run", "/search"},
         {"opened", "hold", "submit", "release"},
         false,
         true,
         RunsFail},
    };
    for (const auto &c : cases) {
        qctest::ScopedBaseDir base;
        qctest::writeFile(base.file("p.qlc"), "[Setup]\r\nProject ID=1\r\n");
        qctest::writeFile(base.file("bad.qlc"), "[Setup]\r\nProject ID=x\r\n");
        qctest::writeFile(base.file("u.txt"), "http://a.example/\n");
        const StartupFlags flags = parse(c.arguments);
        ASSERT_EQ(flags.UsageErrors, QStringList()) << c.behaviour;
        ProjectSession session(base.path());
        RunServices services("test");
        RecordingHost host;
        host.holdGranted = c.host != RefusesHold;
        host.runsSucceed = c.host != RunsFail;
        EXPECT_EQ(CommandLineSteps(flags, session, services, host).run(), c.done) << c.behaviour;
        EXPECT_EQ(host.events, c.events) << c.behaviour;
        EXPECT_EQ(QFileInfo::exists(base.file("urls2.db")), c.tableMade) << c.behaviour;
        EXPECT_EQ(QFileInfo::exists(base.file("lists")), c.tableMade) << c.behaviour;
    }
}

} // namespace
