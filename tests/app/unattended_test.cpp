// The program run unattended from the command line, without a display, against
// a local engine farm.

#include "project/session/baselock.h"
#include "project/session/profilefile.h"
#include "project/session/projectsettings.h"
#include "project/store/urltable.h"
#include "support/enginefarm.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome
{
    bool finished = false;
    int exitCode = -1;
    QByteArray standardError;
};

class Unattended : public ::testing::Test
{
protected:
    qctest::EngineFarm farm;
    QTemporaryDir base;

    void SetUp() override
    {
        ASSERT_TRUE(base.isValid());
        ASSERT_TRUE(farm.start()) << farm.lastError().toStdString();
        ASSERT_TRUE(QFile::exists(program())) << "build the quillcast target first: " << program().toStdString();
    }

    static QString program() { return qEnvironmentVariable("QC_BINARY_DIR") + QStringLiteral("/quillcast"); }
    QString file(const QString &name) const { return base.filePath(name); }

    // The engines Alpha (accepting, E1) and Bravo (failing, E2), both chosen unless
    // bravoChosen is false, and a project with the sender given (no first name when
    // firstName is empty).
    void writeSite(const QByteArray &firstName = "Ann", bool bravoChosen = true)
    {
        qctest::FarmEngine alpha;
        alpha.action = farm.script("accept.cgi");
        alpha.searchAction = farm.script("search.cgi");
        alpha.searchNone = "Sorry%2C+no+documents+matched";
        alpha.column = "E1";
        qctest::FarmEngine bravo = alpha;
        bravo.action = farm.script("fail.cgi");
        bravo.searchAction = "NONE";
        bravo.column = "E2";
        qctest::writeFile(file("engines205.txt"),
                          qctest::engineSection("Alpha", alpha) + qctest::engineSection("Bravo", bravo));
        qctest::writeFile(file("site.qlc"), "[Setup]\r\nProject ID=1\r\n[Search Engine Settings]\r\nEngine List=1\r\n"
                                            "[Submit]\r\nDownload Engines=0\r\nTimeout=5\r\nStatus Log=1\r\n"
                                            "[Info]\r\nFirst Name=" +
                                                firstName +
                                                "\r\nLast Name=Lee\r\n"
                                                "[Emails]\r\nEmail0=ann@lee.example\r\n"
                                                "[Search Engines]\r\nAlpha=1\r\n" +
                                                (bravoChosen ? "Bravo=1\r\n" : ""));
        qctest::writeFile(file("urls.txt"), "http://known.example/\r\nhttp://unknown.example/a\r\n");
    }

    Outcome run(const QStringList &arguments, const QString &workingDirectory = {})
    {
        QProcess process;
        process.setWorkingDirectory(workingDirectory.isEmpty() ? base.path() : workingDirectory);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(program(), arguments);
        Outcome outcome;
        outcome.finished = process.waitForFinished(60000);
        if (!outcome.finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        outcome.exitCode = process.exitCode();
        outcome.standardError = process.readAllStandardError();
        return outcome;
    }

    void writeUrlset(const QString &name, const QByteArrayList &urls)
    {
        QByteArray xml = "<?xml version=\"1.0\"?>\n<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
        for (const QByteArray &url : urls)
            xml += "<url><loc>" + url + "</loc></url>\n";
        qctest::writeFile(file(name), xml + "</urlset>\n");
    }

    QList<bool> flags(const QString &column)
    {
        UrlTable table(base.path());
        table.setFilter(1);
        QList<bool> values;
        for (const qint64 row : table.rowIds())
            values << table.flag(row, column).value_or(false);
        return values;
    }
};

TEST_F(Unattended, AClearRunEndsWithStatusZeroAndSaysNothing)
{
    writeSite("Ann", false);
    const Outcome outcome = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    ASSERT_TRUE(outcome.finished) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardError, "");
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
    EXPECT_EQ(qctest::readFile(file("Projects/1/PR_1.htm")),
              "<html><body>Thank you, your URL was added.</body></html>\n");
    EXPECT_TRUE(QFile::exists(file("quillcast.jpg")));

    // Next week's list has grown: only the new URL goes out, and all is quiet again.
    qctest::writeFile(file("urls.txt"), "# the site\nhttp://known.example/\n\nhttp://unknown.example/a\n"
                                        "http://new.example/\n");
    const Outcome again = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    EXPECT_EQ(again.exitCode, 0) << again.standardError.toStdString();
    EXPECT_EQ(again.standardError, "");
    ASSERT_EQ(farm.received().size(), 3);
    EXPECT_EQ(farm.received().at(2).body, "url=http%3A%2F%2Fnew%2Eexample%2F");
    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false}));
}

TEST_F(Unattended, AWeeklySitemapRunAnnouncesNewAndChangedPagesOnly)
{
    writeSite("Ann", false);
    const auto sitemap = [this](const QByteArray &secondLastmod) {
        qctest::writeFile(file("sitemap.xml"),
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
                          "<url><loc>http://known.example/</loc><lastmod>2026-11-01</lastmod></url>\n"
                          "<url><loc>http://known.example/b&amp;c</loc><lastmod>" +
                              secondLastmod + "</lastmod></url>\n</urlset>\n");
    };
    sitemap("2026-11-01");
    const QStringList arguments = {"/load", "site.qlc", "/sitemap", "sitemap.xml", "/run", "/exit"};
    EXPECT_EQ(run(arguments).exitCode, 0);
    ASSERT_EQ(farm.received().size(), 2);
    EXPECT_EQ(farm.received().at(1).body, "url=http%3A%2F%2Fknown%2Eexample%2Fb%26c");
    // The same sitemap a week later sends nothing; a changed page goes out again.
    EXPECT_EQ(run(arguments).exitCode, 0);
    EXPECT_EQ(farm.received().size(), 2);
    sitemap("2026-12-01");
    const Outcome changed = run(arguments);
    EXPECT_EQ(changed.exitCode, 0) << changed.standardError.toStdString();
    ASSERT_EQ(farm.received().size(), 3);
    EXPECT_EQ(farm.received().at(2).body, "url=http%3A%2F%2Fknown%2Eexample%2Fb%26c");

    qctest::writeFile(file("sitemap.xml"), "<urlset><url><loc>http://x.example/</loc></urlset>");
    const Outcome broken = run(arguments);
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.standardError.contains("line 1, column")) << broken.standardError.toStdString();
    EXPECT_EQ(flags("E1"), QList<bool>({false, false})) << "a broken sitemap changes nothing";
}

TEST_F(Unattended, SeveralSitemapsAreOneListAndAnImportWithoutAValidUrlChangesNothing)
{
    writeSite("Ann", false);
    writeUrlset("a.xml", {"http://known.example/", "http://known.example/b"});
    writeUrlset("b.xml", {"http://known.example/b", "http://other.example/"});
    const Outcome both = run({"/load", "site.qlc", "/sitemap", "a.xml", "/sitemap", "b.xml", "/run", "/exit"});
    EXPECT_EQ(both.exitCode, 0) << both.standardError.toStdString();
    EXPECT_EQ(farm.received().size(), 3);
    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false}));

    // A list or sitemap whose lines are all rejected would empty the project,
    // and bring every URL back later as new.
    qctest::writeFile(file("urls.txt"), "# the site\nknown.example/\n");
    writeUrlset("empty.xml", {"ftp://known.example/"});
    for (const QStringList &import : {QStringList{"/urllist", "urls.txt"}, QStringList{"/sitemap", "empty.xml"}}) {
        const Outcome refused = run(QStringList{"/load", "site.qlc"} + import + QStringList{"/run", "/exit"});
        EXPECT_EQ(refused.exitCode, 1) << import.join(' ').toStdString();
        EXPECT_TRUE(refused.standardError.contains("no valid URL")) << refused.standardError.toStdString();
        EXPECT_EQ(flags("E1"), QList<bool>({false, false, false}));
    }
    EXPECT_EQ(farm.received().size(), 3);
}

TEST_F(Unattended, NewKeyMakesTheIndexNowKeyOnceAndKeyFilePublishesIt)
{
    writeSite();
    const Outcome none = run({"/load", "site.qlc", "/keyfile", "www", "/exit"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.standardError.contains("has no IndexNow key: make one with /newkey"))
        << none.standardError.toStdString();

    ASSERT_TRUE(QDir(base.path()).mkdir("www"));
    const Outcome made = run({"/load", "site.qlc", "/newkey", "/keyfile", "www", "/exit"});
    EXPECT_EQ(made.exitCode, 0) << made.standardError.toStdString();
    EXPECT_EQ(made.standardError, "");
    const QString key = ProjectSettings::load(file("site.qlc")).indexNowKey;
    ASSERT_TRUE(ProjectSettings::isValidIndexNowKey(key)) << key.toStdString();
    EXPECT_EQ(qctest::readFile(file("www/" + key + ".txt")), key.toLatin1());
    EXPECT_EQ(ProjectSettings::load(file("site.qlc")).firstName, "Ann") << "the rest of the file stays";

    // A site that publishes its key keeps it.
    EXPECT_EQ(run({"/load", "site.qlc", "/newkey", "/exit"}).exitCode, 0);
    EXPECT_EQ(ProjectSettings::load(file("site.qlc")).indexNowKey, key);
    const Outcome nowhere = run({"/load", "site.qlc", "/keyfile", "no/such/dir", "/exit"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.standardError.contains("Cannot write " + file("no/such/dir/" + key + ".txt").toUtf8()))
        << nowhere.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(Unattended, DataThatWouldBeLostOrMixedUpEndsWithStatusOne)
{
    writeSite();
    {
        UrlTable table(base.path());
    }
    // The cron line's "cd" was forgotten: the project's URLs are beside the project.
    ASSERT_TRUE(QDir(base.path()).mkdir("home"));
    const Outcome elsewhere = run({"/load", "../site.qlc", "/urllist", "../urls.txt", "/run", "/exit"}, file("home"));
    EXPECT_EQ(elsewhere.exitCode, 1);
    EXPECT_EQ(elsewhere.standardError,
              "quillcast: the base directory " + file("home").toUtf8() + " holds no urls2.db, but " +
                  base.path().toUtf8() + " (where site.qlc is) does: start in " + base.path().toUtf8() + " (cd " +
                  base.path().toUtf8() + ") so that the project's URLs and what they were sent are found.\n");
    for (const char *made : {"home/urls2.db", "home/lists", "home/quillcast.lock"})
        EXPECT_FALSE(QFile::exists(file(made))) << made;
    // A table an older start left there does not make the wrong place right.
    {
        UrlTable stale(file("home"));
    }
    const Outcome absolute = run({"/load", file("site.qlc"), "/run", "/exit"}, file("home"));
    EXPECT_EQ(absolute.exitCode, 1);
    EXPECT_TRUE(absolute.standardError.contains("start in " + base.path().toUtf8() + " (cd "))
        << absolute.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());

    // An ID the table would round would share its rows with another project.
    ProfileFile(file("site.qlc")).writeString("Setup", "Project ID", "99999999999");
    const Outcome rounded = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    EXPECT_EQ(rounded.exitCode, 1);
    EXPECT_TRUE(rounded.standardError.contains("the Project ID \"99999999999\" is not a whole number from 1 to "
                                               "2147483647"))
        << rounded.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());

    ProfileFile(file("site.qlc")).writeString("Setup", "Project ID", "1");
    ASSERT_TRUE(QDir().mkpath(file("Projects/1/StatusLog.htm")));
    const Outcome noReport = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    EXPECT_EQ(noReport.exitCode, 1);
    EXPECT_TRUE(noReport.standardError.contains(file("Projects/1/StatusLog.htm").toUtf8()))
        << noReport.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(Unattended, ASecondProgramInTheSameDirectoryEndsWithStatusOne)
{
    writeSite();
    BaseLock first(base.path());
    ASSERT_EQ(first.tryAcquire(), BaseLock::Outcome::Acquired);
    const Outcome outcome = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.standardError.contains("is in use by another Quillcast (process " +
                                               QByteArray::number(QCoreApplication::applicationPid()) + ")"))
        << outcome.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(Unattended, FailedRequestsEndWithStatusThreeAndASummary)
{
    writeSite();
    const Outcome outcome = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    ASSERT_TRUE(outcome.finished) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.exitCode, 3) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardError, "quillcast: the run finished, but some requests failed or timed out\n"
                                     "Submission:\n"
                                     "  Alpha: 2 URLs sent, 2 accepted, 0 failed, 0 timed out, 0 left for the next "
                                     "run by the engine's limit\n"
                                     "  Bravo: 2 URLs sent, 0 accepted, 2 failed, 0 timed out, 0 left for the next "
                                     "run by the engine's limit; first failure: HTTP/1.0 500 Internal Server Error\n");

    const QList<qctest::FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(got.at(0).body, "url=http%3A%2F%2Fknown%2Eexample%2F");
    EXPECT_EQ(got.at(3).script, "fail.cgi");
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
    EXPECT_EQ(flags("E2"), QList<bool>({true, true}));
    const QByteArray report = qctest::readFile(file("Projects/1/StatusLog.htm"));
    EXPECT_TRUE(
        report.contains("Error accessing: Bravo: http://unknown.example/a (HTTP/1.0 500 Internal Server Error)"));
    EXPECT_TRUE(report.endsWith("</body>\r\n</html>\r\n\r\n"));
}

TEST_F(Unattended, SearchAfterLoadWritesTheSearchLogs)
{
    writeSite();
    const Outcome outcome = run({"/load", "site.qlc", "/urllist", "urls.txt", "/search", "/exit"});
    ASSERT_TRUE(outcome.finished) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_EQ(qctest::readFile(file("Projects/1/None_Alpha.txt")), "http://unknown.example/a\r\n");
    EXPECT_EQ(qctest::readFile(file("Projects/1/None_Bravo.txt")), "");
    EXPECT_EQ(flags("E1"), QList<bool>({true, true}));
}

TEST_F(Unattended, MissingSenderFieldsAreReportedWithoutWaitingForAnyone)
{
    writeSite("");
    // Only a name the engine's form uses is required.
    qctest::FarmEngine named;
    named.action = farm.script("accept.cgi");
    named.postData = "url=$URL&name=$FNAME";
    named.column = "E1";
    qctest::writeFile(file("engines205.txt"), qctest::engineSection("Alpha", named));
    const Outcome outcome = run({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.standardError.contains("Required Fields Missing: Required field missing: First Name"))
        << outcome.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_EQ(flags("E1"), QList<bool>({true, true}));
}

TEST_F(Unattended, AProjectThatCannotBeOpenedEndsTheProgramWithStatusOne)
{
    // Nobody could ever close a program left open without a display.
    const Outcome outcome = run({"/load", "missing.qlc", "/run", "/exit"});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.standardError.contains("Cannot open project")) << outcome.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(Unattended, AStartThatEndsBeforeTheProjectIsOpenLeavesNothingBehind)
{
    qctest::writeFile(file("noid.qlc"), "[Setup]\r\nProject ID=x\r\n");
    qctest::writeFile(file("urls.txt"), "http://a.example/\r\n");
    const QStringList starts[] = {
        {"/load", "missing.qlc", "/run", "/exit"},
        {"/load", "noid.qlc", "/urllist", "urls.txt", "/exit"},
        {"/urllist", "urls.txt", "/exit"},
        {"/exit"},
    };
    for (const QStringList &arguments : starts) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_TRUE(run(arguments).finished);
        for (const char *made : {"urls2.db", "lists", "quillcast.lock"})
            EXPECT_FALSE(QFile::exists(file(made))) << made;
    }
}

TEST_F(Unattended, AWrongCommandLineEndsTheProgramWithStatusTwo)
{
    const Outcome outcome = run({"/urllist", "urls.txt", "/run", "/exit"});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.standardError.startsWith("quillcast: \"/urllist\" needs a project named by \"/load\"\n"))
        << outcome.standardError.toStdString();
    EXPECT_TRUE(outcome.standardError.contains("Usage: quillcast")) << outcome.standardError.toStdString();
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(Unattended, WithoutAnyDisplayTheProgramStartsOffscreenByItself)
{
    writeSite();
    QProcess process;
    process.setWorkingDirectory(base.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(program(), {"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 3) << process.readAllStandardError().toStdString();
    EXPECT_EQ(farm.received().size(), 4);
}

TEST_F(Unattended, HelpAndVersionAnswerWithoutAWindow)
{
    QProcess process;
    process.start(program(), {"--version"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput(), "Quillcast 2.05\n");
    process.start(program(), {"--help"});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QByteArray help = process.readAllStandardOutput();
    for (const char *line : {"/urllist FILE", "/newkey ", "/keyfile DIR"})
        EXPECT_TRUE(help.contains(line)) << line;
}

} // namespace
