// The submission run with page checks, against a real site and an IndexNow
// endpoint of the engine farm: only what changed and may be indexed goes out,
// the pages that went away are announced once, and a Retry-After outlives the run.

#include "project/store/enginestate.h"
#include "project/store/pagestate.h"
#include "runs/runsummary.h"
#include "runs/sitemapimport.h"
#include "support/loopbacklisten.h"
#include "support/runs/farmrun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <unistd.h>

namespace {

const QString Key = QStringLiteral("0123456789abcdef0123456789abcdef");

QByteArray page(const QByteArray &body, const QByteArray &head = "")
{
    return "<!DOCTYPE html><html><head><title>t</title>" + head + "</head><body>" + body + "</body></html>\n";
}

// The farm is the site and the IndexNow endpoint. The site's pages come through a
// script that reads them afresh (lighttpd's stat cache would answer with a file's
// state of a second ago) and answers conditional requests by an ETag of the
// content. The endpoint answers what answer.txt says (a status, then header
// lines), 200 without it, and records every request.
class PageCheckRun : public qctest::FarmRunTest
{
protected:
    void SetUp() override
    {
        FarmRunTest::SetUp();
        farm.server().addCgiScript("switch.cgi", R"(require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
farm_record('switch.cgi');
my @lines = ('200 OK');
if (open(my $f, '<', "$ENV{DOCUMENT_ROOT}/answer.txt")) { @lines = <$f>; chomp @lines; }
my $status = shift @lines;
farm_answer($status, 'text/plain', "said $status\n", @lines);
)");
        farm.server().addCgiScript("site.cgi", R"(use Digest::MD5 qw(md5_hex);
my ($name) = ($ENV{QUERY_STRING} || '') =~ /^([A-Za-z0-9.]+)$/;
my $type = ($name || '') =~ /\.xml$/ ? 'application/xml' : 'text/html';
my $f;
if (!$name || !open($f, '<', "$ENV{DOCUMENT_ROOT}/pages/$name")) {
    print "Status: 404 Not Found\r\nContent-Type: text/html\r\n\r\nNo such page\n";
    exit;
}
binmode STDOUT;
my $body = do { local $/; <$f> };
my $etag = '"' . md5_hex($body) . '"';
if (($ENV{HTTP_IF_NONE_MATCH} || '') eq $etag) {
    print "Status: 304 Not Modified\r\nETag: $etag\r\n\r\n";
} else {
    print "ETag: $etag\r\nContent-Type: $type\r\n\r\n$body";
}
)");
        farm.server().addFile(Key + ".txt", Key.toUtf8());
        farm.server().addFile("robots.txt",
                              "User-agent: *\nSitemap: " + farm.url("/cgi-bin/site.cgi?sitemap.xml") + "\n");
        setup.settings.indexNowKey = Key;
        setup.checkPages = true;
        qctest::FarmEngine indexNow = engine("switch.cgi", "E1");
        indexNow.method = "indexnow";
        prepare({{"IndexNow", indexNow}}, {});
    }

    // The address of the site's page name.
    QByteArray address(const QByteArray &name) const { return farm.url("/cgi-bin/site.cgi?" + name); }
    QString site(const QByteArray &name) const { return QString::fromUtf8(address(name)); }
    void put(const QString &name, const QByteArray &bytes) { farm.server().addFile("pages/" + name, bytes); }
    void remove(const QString &name) { QFile::remove(farm.server().documentRoot() + "/pages/" + name); }
    void answer(const QByteArray &lines) { farm.server().addFile("answer.txt", lines); }

    // The site's sitemap, every page with the one lastmod, found through robots.txt.
    void publishSitemap(const QList<QByteArray> &names, const QByteArray &lastmod)
    {
        QByteArray xml = "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
        for (const QByteArray &name : names)
            xml +=
                "<url><loc>" + address(name).replace("&", "&amp;") + "</loc><lastmod>" + lastmod + "</lastmod></url>\n";
        put("sitemap.xml", xml + "</urlset>\n");
    }

    // The weekly job: the site's sitemaps, then the run; the URLs of every IndexNow request it made.
    QList<QStringList> weeklyRun(QList<EngineTally> *tally = nullptr)
    {
        SitemapImport import(http, base.path());
        const SitemapImportResult imported = import.importInto(*table, ProjectId, QString::fromUtf8(farm.url("/")));
        EXPECT_TRUE(imported.readable()) << imported.error.toStdString();
        return run(tally);
    }

    QList<QStringList> run(QList<EngineTally> *tally = nullptr)
    {
        const qsizetype before = farm.received().size();
        const QList<EngineTally> counted = submit();
        if (tally)
            *tally = counted;
        QList<QStringList> requests;
        for (const qctest::FarmRequest &r : farm.received().mid(before)) {
            if (r.script != "switch.cgi")
                continue;
            QStringList urls;
            for (const QJsonValue &url : QJsonDocument::fromJson(r.body).object().value("urlList").toArray())
                urls << url.toString();
            std::sort(urls.begin(), urls.end());
            requests << urls;
        }
        return requests;
    }

    QStringList sites(std::initializer_list<const char *> paths) const
    {
        QStringList urls;
        for (const char *path : paths)
            urls << site(path);
        std::sort(urls.begin(), urls.end());
        return urls;
    }
};

TEST_F(PageCheckRun, TheWeeklyRunSendsWhatReallyChangedAndAnnouncesTheDeletedPage)
{
    for (const char *name : {"p1", "p2", "p3", "p4", "p5"})
        put(name, page("<p>First version of " + QByteArray(name) + "</p>"));
    put("noindex", page("<p>Drafts</p>", "<meta name=\"robots\" content=\"noindex\">"));
    put("copy", page("<p>A copy</p>", "<link rel=\"canonical\" href=\"/cgi-bin/site.cgi?p1\">"));
    const QList<QByteArray> first = {"p1", "p2", "p3", "p4", "p5", "noindex", "copy"};
    publishSitemap(first, "2025-01-06");
    EXPECT_EQ(weeklyRun(), QList<QStringList>({sites({"p1", "p2", "p3", "p4", "p5"})}));

    // The site is rebuilt: every lastmod renewed, three pages edited, one rebuilt with only
    // a new build stamp, one added and one deleted.
    for (const char *name : {"p1", "p2", "p3"})
        put(name, page("<p>The second version of " + QByteArray(name) + "</p>"));
    put("p4", page("<!-- built 2025-02-03 --><p>First version of p4</p>"));
    put("p6", page("<p>A new page</p>"));
    remove("p5");
    publishSitemap({"p1", "p2", "p3", "p4", "p6", "noindex", "copy"}, "2025-02-03");
    QList<EngineTally> tally;
    EXPECT_EQ(weeklyRun(&tally), QList<QStringList>({sites({"p1", "p2", "p3", "p5", "p6"})}));

    ASSERT_EQ(tally.size(), 1);
    EXPECT_FALSE(anyRequestFailed(tally)) << RunSummary(tally, {}).toStdString();
    EXPECT_EQ(tally.at(0).accepted, 5);
    EXPECT_EQ(tally.at(0).notIndexable, 2);
    EXPECT_EQ(tally.at(0).unchanged, 1);
    EXPECT_EQ(tally.at(0).departedAnnounced, 1);
    EXPECT_TRUE(observer.runFailures.isEmpty());
    EXPECT_EQ(observer.texts(StatusKind::Failure), QStringList());
    // Done: the pages sent and the one unchanged; the two that may not be indexed go once they may.
    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false, false, true, true, false}));

    const QByteArray rows = reportRows();
    EXPECT_TRUE(rows.contains("Not submitted: noindex (meta robots)")) << rows.toStdString();
    EXPECT_TRUE(rows.contains("Not submitted: canonical points to " + address("p1")));
    EXPECT_TRUE(rows.contains("Not submitted: unchanged content"));
    EXPECT_TRUE(
        rows.contains(qctest::reportHeading("Pages that went away") +
                      qctest::reportWideRow(address("p5") + ": answers HTTP/1.0 404 Not Found; announced to IndexNow "
                                                            "(HTTP/1.0 200 OK)")))
        << rows.toStdString();
    EXPECT_TRUE(observer.texts().contains("Checking 8 pages"));

    // Nothing changed: nothing goes out, and the deleted page is not announced again.
    EXPECT_EQ(weeklyRun(), QList<QStringList>());
}

TEST_F(PageCheckRun, ANewFingerprintRuleOrContentSettingSendsNothingAndAThemeUpdateNeither)
{
    const auto themed = [](const QByteArray &text, const QByteArray &version) {
        return page("<main><p>" + text + "</p></main><footer>f</footer>",
                    "<link rel=\"stylesheet\" href=\"/style.css?ver=" + version + "\">");
    };
    put("p1", themed("One", "1"));
    put("p2", themed("Two", "1"));
    table->replaceProjectUrls(ProjectId, {site("p1"), site("p2")});
    EXPECT_EQ(run(), QList<QStringList>({sites({"p1", "p2"})}));

    // Checked and accepted by the first rule, whose fingerprints carried no rule; then the theme is updated.
    PageState state(*table);
    QHash<QString, QByteArray> accepted = state.accepted(ProjectId, "IndexNow");
    QHash<QString, PageState::Check> checked = state.checks(ProjectId);
    ASSERT_EQ(accepted.size(), 2);
    for (auto &fingerprint : accepted)
        fingerprint = fingerprint.mid(fingerprint.indexOf(':') + 1);
    for (auto &check : checked)
        check.fingerprint = check.fingerprint.mid(check.fingerprint.indexOf(':') + 1);
    state.setAccepted(ProjectId, "IndexNow", accepted);
    state.setChecks(ProjectId, checked);
    put("p1", themed("One", "2"));
    put("p2", themed("Two", "2"));
    EXPECT_EQ(run(), QList<QStringList>());

    put("p1", themed("One, edited", "2"));
    EXPECT_EQ(run(), QList<QStringList>({sites({"p1"})}));

    setup.settings.checkMainContent = true;
    put("p2", themed("Two", "3").replace("<footer>f", "<footer>g"));
    EXPECT_EQ(run(), QList<QStringList>());
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
}

TEST_F(PageCheckRun, ARefusedDeletionIsAnnouncedAgainUntilTakenAndAPageStillThereNotAtAll)
{
    for (const char *name : {"a", "gone", "kept"})
        put(name, page("<p>" + QByteArray(name) + "</p>"));
    table->replaceProjectUrls(ProjectId, sites({"a", "gone", "kept"}));
    EXPECT_EQ(run(), QList<QStringList>({sites({"a", "gone", "kept"})}));

    table->replaceProjectUrls(ProjectId, {site("a")});
    remove("gone");
    answer("422 Unprocessable Entity\n");
    EXPECT_EQ(run(), QList<QStringList>({sites({"gone"})}));
    const QByteArray rows = reportRows();
    EXPECT_TRUE(rows.contains(address("gone") +
                              ": answers HTTP/1.0 404 Not Found; not announced to IndexNow (HTTP/1.0 422 "
                              "Unprocessable Entity); tried again in the next run"))
        << rows.toStdString();
    EXPECT_TRUE(
        rows.contains(address("kept") + ": answers HTTP/1.0 304 Not Modified; not announced, the page is still there"))
        << rows.toStdString();

    answer("202 Accepted\n");
    EXPECT_EQ(run(), QList<QStringList>({sites({"gone"})}));
    EXPECT_EQ(run(), QList<QStringList>());
}

TEST_F(PageCheckRun, AChangedPageThatCouldNotBeCheckedIsNotSentNorMarkedDoneAndItsLastCheckStands)
{
    // A site that is down: a loopback port nothing listens on any more.
    quint16 port = 0;
    const int fd = qctest::listenOnLoopback(&port);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString down = QStringLiteral("http://127.0.0.1:%1/news").arg(port);
    put("p1", page("<p>p1</p>"));
    table->replaceProjectUrls(ProjectId, {site("p1"), down});
    // The last check found the page, and IndexNow took it as it was then; its sitemap says it changed since.
    PageState::Check last;
    last.fingerprint = "fp-of-last-week";
    last.statusLine = "HTTP/1.1 200 OK";
    last.checked = QDateTime::currentDateTimeUtc().addDays(-7);
    PageState(*table).setChecks(ProjectId, {{down, last}});
    PageState(*table).setAccepted(ProjectId, "IndexNow", {{down, last.fingerprint}});

    QList<EngineTally> tally;
    EXPECT_EQ(run(&tally), QList<QStringList>({{site("p1")}}));
    EXPECT_EQ(flags("E1"), QList<bool>({false, true})) << "the page still owes the engine its change";
    EXPECT_EQ(tally.at(0).notChecked, 1);
    EXPECT_EQ(tally.at(0).unchanged + tally.at(0).notIndexable, 0);
    EXPECT_TRUE(anyRequestFailed(tally));
    const PageState::Check stored = PageState(*table).checks(ProjectId).value(down);
    EXPECT_EQ(stored.fingerprint, last.fingerprint);
    EXPECT_EQ(stored.checked, last.checked);

    const QStringList failures = observer.texts(StatusKind::Failure).filter("could not be checked");
    ASSERT_EQ(failures.size(), 1) << observer.texts().join('\n').toStdString();
    EXPECT_TRUE(failures.at(0).startsWith("127.0.0.1: 1 page could not be checked (robots.txt: "))
        << failures.at(0).toStdString();
    const QByteArray rows = reportRows();
    EXPECT_TRUE(rows.contains(">" + down.toUtf8() + "</a></td><td>Not submitted: could not be checked (robots.txt: "))
        << rows.toStdString();
    EXPECT_TRUE(rows.contains(qctest::reportWideRow(failures.at(0).toHtmlEscaped().toUtf8()))) << rows.toStdString();
}

TEST_F(PageCheckRun, ARetryAfterKeepsTheEngineAwayInTheNextRunWithoutAFailure)
{
    setup.checkPages = false;
    table->replaceProjectUrls(ProjectId, sites({"x", "y"}));
    answer("429 Too Many Requests\nRetry-After: 3600\n");
    QList<EngineTally> told;
    EXPECT_EQ(run(&told), QList<QStringList>({sites({"x", "y"})}));
    const QDateTime until = EngineState(*table).notBefore("IndexNow", QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(until.isValid()) << observer.texts().join('\n').toStdString();
    EXPECT_GT(until, QDateTime::currentDateTimeUtc().addSecs(3000));
    // The run that was told to wait says until when, in the report and the summary.
    const QString notBefore = "Retry-After: not before " + until.toString("yyyy-MM-dd HH:mm:ss") + " UTC";
    EXPECT_TRUE(anyRequestFailed(told));
    EXPECT_TRUE(RunSummary(told, {}).contains(notBefore)) << RunSummary(told, {}).toStdString();
    EXPECT_TRUE(reportRows().contains(notBefore.toUtf8())) << reportRows().toStdString();

    answer("200 OK\n");
    QList<EngineTally> tally;
    EXPECT_EQ(run(&tally), QList<QStringList>());
    EXPECT_FALSE(anyRequestFailed(tally));
    EXPECT_EQ(tally.at(0).limited, 2);
    EXPECT_EQ(flags("E1"), QList<bool>({true, true}));
    const QString line = "IndexNow: 2 URLs wait for the engine's Retry-After (not before " +
                         until.toString("yyyy-MM-dd HH:mm:ss") + " UTC)";
    EXPECT_TRUE(observer.texts().contains(line)) << observer.texts().join('\n').toStdString();
    const QByteArray rows = reportRows();
    EXPECT_TRUE(rows.contains("Retry-After (not before " + until.toString("yyyy-MM-dd HH:mm:ss").toUtf8() + " UTC)"))
        << rows.toStdString();

    // URLs that have waited for more than a week are a backlog to act on: the count and the oldest date.
    const QDateTime began = QDateTime::currentDateTimeUtc().addDays(-9);
    EngineState(*table).setWaiting(ProjectId, "IndexNow", {}, began);
    EngineState(*table).setWaiting(ProjectId, "IndexNow", {site("x")}, began);
    observer = {};
    EXPECT_EQ(run(), QList<QStringList>());
    EXPECT_EQ(observer.texts(StatusKind::Failure),
              QStringList({"IndexNow: 1 URL has waited for the engine's quota for more than 7 days (the oldest since " +
                           began.toString("yyyy-MM-dd") + ")"}));
}

} // namespace
