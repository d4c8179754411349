#include <gtest/gtest.h>

#include "checks/pagechecker.h"
#include "checks/pagequeue.h"
#include "checks/sitemapdiscovery.h"
#include "net/httpclient.h"
#include "support/lighttpdfixture.h"
#include "support/loopbackpeer.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using checks::PageCheckInput;
using checks::PageCheckResult;
using checks::PageVerdict;

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace checks {
void PrintTo(const PageVerdict &verdict, std::ostream *out)
{
    *out << int(verdict.kind) << " \"" << verdict.text.toStdString() << '"';
}
} // namespace checks

namespace {

QByteArray htmlPage(const QByteArray &head, const QByteArray &body = "<p>Some text.</p>")
{
    return "<!DOCTYPE html><html><head><title>t</title>" + head + "</head><body>" + body + "</body></html>\n";
}

QByteArray cgi(const QByteArray &headers, const QByteArray &body = "<p>x</p>")
{
    return "print \"" + headers + "Content-Type: text/html\\r\\n\\r\\n" + body + "\";\n";
}

// A small site with a page for each thing the check tells apart.
class CheckedSite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        web.addFile("plain.html", htmlPage(""));
        web.addFile("meta-noindex.html", htmlPage("<meta name=\"robots\" content=\"noindex\">"));
        web.addFile("canonical-self.html", htmlPage("<link rel=\"canonical\" href=\"canonical-self.html\">"));
        web.addFile("canonical-other.html", htmlPage("<link rel=\"canonical\" href=\"/plain.html\">"));
        web.addFile("private/page.html", htmlPage(""));
        // Past the bytes a check reads: judged on its start, never held whole.
        web.addFile("huge.html", htmlPage("<meta name=robots content=noindex>", QByteArray(17 << 20, 'x')));
        web.addCgiScript("noindex.cgi", cgi("X-Robots-Tag: otherbot: noindex\\r\\n"));
        web.addCgiScript("moved.cgi", cgi("Status: 301 Moved\\r\\nLocation: /plain.html\\r\\n"));
        web.addCgiScript("gone.cgi", cgi("Status: 410 Gone\\r\\n"));
        // The redirect's own headers are not the final answer's.
        web.addCgiScript("tagged-move.cgi", cgi("Status: 302 Found\\r\\nLocation: /cgi-bin/gone.cgi\\r\\n"
                                                "ETag: \\\"r\\\"\\r\\nX-Robots-Tag: noindex\\r\\n"));
        web.addCgiScript("busy.cgi", cgi("Status: 503 Busy\\r\\nRetry-After: 0\\r\\n"));
        web.addCgiScript("crowded.cgi", cgi("Status: 429 Slow Down\\r\\nRetry-After: 0\\r\\n"));
        web.addCgiScript("broken.cgi", cgi("Status: 500 Oops\\r\\n"));
        // A 304 to a request that asked nothing conditionally.
        web.addCgiScript("unasked-304.cgi", cgi("Status: 304 Not Modified\\r\\n", ""));
        // Busy the first time it is asked, then there.
        web.addCgiScript("once-busy.cgi", "if (-e 'once.flag') { " + cgi("") +
                                              " } else { open(my $f, '>', 'once.flag'); " +
                                              cgi("Status: 503 Busy\\r\\nRetry-After: 0\\r\\n") + " }");
        ASSERT_TRUE(web.start()) << web.lastError().toStdString();
        web.addFile("robots.txt", "User-agent: *\nDisallow: /private/\nSitemap: " + web.url("/sitemap.xml") + "\n");
    }

    static checks::PageCheckOptions quickOptions()
    {
        checks::PageCheckOptions options;
        options.perHost = 2;
        options.timeoutSeconds = 20;
        options.defaultRetry = std::chrono::milliseconds(10);
        return options;
    }

    QList<PageCheckResult> check(const QList<PageCheckInput> &pages,
                                 const checks::PageCheckOptions &options = quickOptions())
    {
        return checks::PageChecker(options).check(pages);
    }

    // A script that counts its requests in a file and answers with the header lines given.
    QString addCountingScript(const QString &name, const QByteArray &headers)
    {
        const QString counter = web.documentRoot() + QStringLiteral("/") + name + QStringLiteral(".count");
        web.addCgiScript(name,
                         "open(my $c, '>>', '" + counter.toUtf8() + "'); print $c 'x'; close($c); " + cgi(headers));
        return counter;
    }

    qctest::LighttpdFixture web;
};

TEST_F(CheckedSite, EachPageGetsItsVerdict)
{
    const struct
    {
        QByteArray path;
        int status;
        PageVerdict verdict;
        int tries;
    } cases[] = {
        {"/plain.html", 200, PageVerdict::indexablePage(), 1},
        {"/meta-noindex.html", 200, PageVerdict::noindexMeta(), 1},
        {"/cgi-bin/noindex.cgi", 200, PageVerdict::noindexHeader(), 1},
        {"/canonical-self.html", 200, PageVerdict::indexablePage(), 1},
        {"/canonical-other.html", 200, PageVerdict::canonicalElsewhere(web.url("/plain.html")), 1},
        {"/private/page.html", -1, PageVerdict::robotsDisallowed(), 0},
        {"/cgi-bin/moved.cgi", 200, PageVerdict::redirected(web.url("/plain.html")), 1},
        {"/missing.html", 404, PageVerdict::httpStatus("HTTP/1.0 404 Not Found"), 1},
        {"/cgi-bin/gone.cgi", 410, PageVerdict::httpStatus("HTTP/1.0 410 Gone"), 1},
        {"/cgi-bin/tagged-move.cgi", 410, PageVerdict::httpStatus("HTTP/1.0 410 Gone"), 1},
        {"/cgi-bin/busy.cgi", 503, PageVerdict::unreachable("503 Service Unavailable"), 3},
        {"/cgi-bin/crowded.cgi", 429, PageVerdict::unreachable("429 Too Many Requests"), 3},
        {"/cgi-bin/broken.cgi", 500, PageVerdict::unreachable("500 Internal Server Error"), 1},
        {"/cgi-bin/unasked-304.cgi", 304, PageVerdict::unreachable("304 Not Modified to a request without validators"),
         1},
        {"/cgi-bin/once-busy.cgi", 200, PageVerdict::indexablePage(), 2},
        {"/huge.html", 200, PageVerdict::noindexMeta(), 1},
    };
    QList<PageCheckInput> pages;
    for (const auto &c : cases)
        pages.append(PageCheckInput{web.url(c.path), {}});
    pages.append(PageCheckInput{"mailto:a@b.example", {}});

    const QList<PageCheckResult> first = check(pages);
    ASSERT_EQ(first.size(), pages.size());
    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i) {
        const auto &c = cases[i];
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(first[i].url, pages[i].url);
        EXPECT_EQ(first[i].statusCode, c.status);
        EXPECT_EQ(first[i].verdict, c.verdict);
        EXPECT_EQ(first[i].tries, c.tries);
        EXPECT_EQ(first[i].fingerprint.isEmpty(), c.status != 200);
        EXPECT_TRUE(first[i].changedSince({}));
        if (c.path.contains("tagged-move")) {
            EXPECT_EQ(first[i].etag, QByteArray()) << "the redirect's ETag";
        }
    }
    EXPECT_EQ(first.last().verdict.kind, PageVerdict::Kind::Unreachable);

    // The second check asks with the first one's validators: unchanged pages answer 304.
    QList<PageCheckInput> again;
    for (const int i : {0, 1}) {
        EXPECT_FALSE(first[i].etag.isEmpty());
        EXPECT_FALSE(first[i].lastModified.isEmpty());
        again.append(PageCheckInput{
            pages[i].url, {first[i].etag, first[i].lastModified, first[i].fingerprint, first[i].verdict, {}}});
    }
    const QList<PageCheckResult> second = check(again);
    for (const int i : {0, 1}) {
        SCOPED_TRACE(pages[i].url.toStdString());
        EXPECT_EQ(second[i].statusCode, 304);
        EXPECT_TRUE(second[i].notModified);
        EXPECT_EQ(second[i].verdict, first[i].verdict);
        EXPECT_EQ(second[i].fingerprint, first[i].fingerprint);
        EXPECT_EQ(second[i].etag, first[i].etag);
        EXPECT_FALSE(second[i].changedSince(again[i].previous));
    }

    // Validators that no longer match bring the whole page again.
    again[0].previous.etag = "\"stale\"";
    again[0].previous.lastModified.clear();
    const QList<PageCheckResult> third = check({again[0]});
    EXPECT_EQ(third[0].statusCode, 200);
    EXPECT_FALSE(third[0].notModified);
    EXPECT_EQ(third[0].fingerprint, first[0].fingerprint);
}

TEST_F(CheckedSite, ABodyThatHashesAsBeforeIsNotParsedAgain)
{
    const struct
    {
        const char *path;
        bool keeps; // the previous fingerprint and signals stand
    } cases[] = {
        {"/plain.html", true},           {"/meta-noindex.html", true},
        {"/canonical-other.html", true}, {"/cgi-bin/noindex.cgi", false}, // a header noindex hid what the HTML said
        {"/huge.html", false},                                            // past what is held: parsed as it arrives
        {"/edited.html", false},
    };
    web.addFile("edited.html", htmlPage(""));
    QList<PageCheckInput> pages;
    for (const auto &c : cases)
        pages.append(PageCheckInput{web.url(c.path), {}});
    const QList<PageCheckResult> first = check(pages);
    web.addFile("edited.html", htmlPage("", "<p>Other text.</p>"));

    // Served without validators: every page comes whole again.
    for (qsizetype i = 0; i < pages.size(); ++i) {
        ASSERT_FALSE(first[i].rawHash.isEmpty()) << pages[i].url.toStdString();
        pages[i].previous = {{}, {}, "v2:as-stored", first[i].verdict, first[i].rawHash};
    }
    const QList<PageCheckResult> second = check(pages);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(pages[i].url.toStdString());
        EXPECT_EQ(second[i].statusCode, 200);
        EXPECT_EQ(second[i].verdict, first[i].verdict);
        EXPECT_EQ(second[i].rawHash == first[i].rawHash, i != 5);
        EXPECT_EQ(second[i].fingerprint == "v2:as-stored", cases[i].keeps);
    }

    // Another Content setting reads every page again.
    checks::PageCheckOptions main = quickOptions();
    main.scope = checks::ContentScope::Main;
    const QList<PageCheckResult> third = check(pages, main);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(third[i].fingerprint.startsWith("v2-main:")) << pages[i].url.toStdString();
        EXPECT_NE(third[i].rawHash, first[i].rawHash);
    }
}

TEST_F(CheckedSite, AStopEndsTheCheckWithThePagesLeftStopped)
{
    // Pages that would wait a minute for their Retry-After; the stop comes with the first result.
    checks::PageCheckOptions options;
    options.defaultRetry = std::chrono::seconds(60);
    checks::PageChecker checker(options);
    bool stop = false;
    checker.onResult = [&](int, const PageCheckResult &) { stop = true; };
    checker.stopRequested = [&] { return stop; };
    web.addCgiScript("slow-busy.cgi", cgi("Status: 503 Busy\\r\\n"));
    // And one the stop finds under way.
    web.addCgiScript("slow.cgi", "sleep 30; " + cgi(""));
    const QList<PageCheckResult> results = checker.check({PageCheckInput{web.url("/plain.html"), {}},
                                                          PageCheckInput{web.url("/cgi-bin/slow-busy.cgi"), {}},
                                                          PageCheckInput{web.url("/cgi-bin/slow.cgi"), {}}});
    EXPECT_TRUE(results[0].verdict.indexable());
    EXPECT_EQ(results[1].verdict, PageVerdict::unreachable("stopped"));
    EXPECT_EQ(results[2].verdict, PageVerdict::unreachable("stopped"));
}

TEST_F(CheckedSite, AHostThatAsksToBeLeftAloneGetsAFewRequestsAndItsPagesCouldNotBeChecked)
{
    const struct
    {
        const char *behaviour;
        QByteArray headers;
        int pages;
        int mostRequests;
        QString cause;    // the verdict of the pages never asked
        qint64 waitAsked; // seconds from now the cause names, when it names a time
    } cases[] = {
        // Only the pages under way when the first answer came are asked.
        {"a site in maintenance", "Status: 503 Down\\r\\nRetry-After: 3600\\r\\n", 200, 2,
         "503 Service Unavailable (asked to wait until ", 3600},
        {"a wait past any count", "Status: 429 No\\r\\nRetry-After: 99999999999999\\r\\n", 20, 2,
         "429 Too Many Requests (asked to wait until ", 10LL * 365 * 24 * 3600},
        {"a date far ahead", "Status: 503 Down\\r\\nRetry-After: Fri, 31 Dec 9999 23:59:59 GMT\\r\\n", 20, 2,
         "503 Service Unavailable (asked to wait until ", 10LL * 365 * 24 * 3600},
        // Paused for 10, 20, 40, 80 ms after the fifth error in a row; the ninth would wait past the most.
        {"errors and nothing else", "Status: 500 Oops\\r\\n", 50, 9 + 1,
         "500 Internal Server Error (9 such answers in a row)", -1},
    };
    checks::PageCheckOptions options = quickOptions();
    options.maxWait = std::chrono::milliseconds(100);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const QString name = QStringLiteral("down%1.cgi").arg(&c - cases);
        const QString counter = addCountingScript(name, c.headers);
        QList<PageCheckInput> pages;
        for (int i = 0; i < c.pages; ++i)
            pages.append(PageCheckInput{web.url("/cgi-bin/" + name.toUtf8() + "?p=" + QByteArray::number(i)), {}});
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const QList<PageCheckResult> results = check(pages, options);
        const QDateTime after = QDateTime::currentDateTimeUtc();

        QFile counted(counter);
        ASSERT_TRUE(counted.open(QIODevice::ReadOnly));
        EXPECT_GE(counted.size(), 1);
        EXPECT_LE(counted.size(), c.mostRequests);
        for (const PageCheckResult &result : results)
            ASSERT_FALSE(result.verdict.checked()) << result.url.toStdString();
        // Pages answered before the host was left alone say only their answer; the last was never asked.
        const QString text = results.last().verdict.text;
        ASSERT_TRUE(text.startsWith(c.cause)) << text.toStdString();
        if (c.waitAsked < 0)
            continue;
        const QDateTime until =
            QDateTime::fromString(text.mid(c.cause.size()), QStringLiteral("yyyy-MM-dd HH:mm 'UTC)'"));
        ASSERT_TRUE(until.isValid()) << text.toStdString();
        EXPECT_GE(until.toSecsSinceEpoch(), before.addSecs(c.waitAsked - 60).toSecsSinceEpoch());
        EXPECT_LE(until.toSecsSinceEpoch(), after.addSecs(c.waitAsked + 60).toSecsSinceEpoch());
    }
}

TEST(PageChecker, APageOfAHostWhoseRobotsTxtCannotBeReadCouldNotBeChecked)
{
    const struct
    {
        const char *behaviour;
        QByteArray answer; // "" resets, "hold" holds the connection open, "refuse" is no server at all
        const char *scheme;
        QString verdict;
        PageVerdict::Kind kind;
    } cases[] = {
        {"a 5xx", "HTTP/1.0 503 Service Unavailable\r\n\r\n", "http", "robots.txt answers 503 Service Unavailable",
         PageVerdict::Kind::RobotsUnreadable},
        {"a 429", "HTTP/1.0 429 Too Many Requests\r\n\r\n", "http", "robots.txt answers 429 Too Many Requests",
         PageVerdict::Kind::RobotsUnreadable},
        {"a reset", "", "http", "robots.txt: connection reset by peer (10054)", PageVerdict::Kind::RobotsUnreadable},
        {"no server", "refuse", "http", "robots.txt: connection refused (10061)", PageVerdict::Kind::RobotsUnreadable},
        {"no answer", "hold", "http", "robots.txt: no answer within 1 s", PageVerdict::Kind::RobotsUnreadable},
        {"no TLS", "HTTP/1.0 200 OK\r\n\r\n", "https", "", PageVerdict::Kind::RobotsUnreadable},
        // No robots.txt allows every page: the page is asked, and answers the same.
        {"a 404", "HTTP/1.0 404 Not Found\r\n\r\n", "http", "answers HTTP/1.0 404 Not Found",
         PageVerdict::Kind::HttpStatus},
    };
    checks::PageCheckOptions options;
    options.timeoutSeconds = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        qctest::LoopbackPeer peer;
        if (c.answer == "hold")
            peer.readRequest().holdOpen();
        else if (c.answer.isEmpty())
            peer.readRequest().resetConnection();
        else if (QByteArrayView(c.scheme) == "https")
            peer.send(c.answer).closeConnection();
        else
            peer.readRequest().send(c.answer).closeConnection();
        ASSERT_TRUE(peer.start(2));
        const quint16 port = c.answer == "refuse" ? qctest::freeLoopbackPort() : peer.port();
        const QByteArray url = c.scheme + QByteArray("://127.0.0.1:") + QByteArray::number(port) + "/page.html";
        const QList<PageCheckResult> results = checks::PageChecker(options).check({PageCheckInput{url, {}}});
        EXPECT_EQ(results[0].verdict.kind, c.kind);
        if (!c.verdict.isEmpty())
            EXPECT_EQ(results[0].verdict.text, c.verdict);
        else
            EXPECT_TRUE(results[0].verdict.text.startsWith("robots.txt: ")) << results[0].verdict.text.toStdString();
    }
}

TEST_F(CheckedSite, TheRobotsTxtOfASiteNamesItsSitemaps)
{
    THTTPClient http;
    const checks::SitemapDiscovery found = checks::discoverSitemaps(http, web.url("/robots.txt"));
    EXPECT_EQ(found.sitemaps, QList<QByteArray>{web.url("/sitemap.xml")});
    EXPECT_TRUE(found.ok());

    web.addFile("bare/robots.txt", "User-agent: *\nDisallow:\n");
    EXPECT_EQ(checks::discoverSitemaps(http, web.url("/bare/robots.txt")).error,
              "The robots.txt " + web.url("/bare/robots.txt") + " names no sitemap");
    const checks::SitemapDiscovery missing = checks::discoverSitemaps(http, web.url("/missing/robots.txt"));
    EXPECT_EQ(missing.error,
              "The robots.txt " + web.url("/missing/robots.txt") + " cannot be read: HTTP/1.0 404 Not Found");
    EXPECT_TRUE(missing.sitemaps.isEmpty());
}

TEST(PageQueue, EachHostReadsItsRobotsFirstAndKeepsItsLimit)
{
    // Pages 0-2 on host a, 3 on host b, 4 settled elsewhere; one page of a host at a time.
    checks::PageQueue queue({"a", "a", "a", "b", ""}, 1);
    using Kind = checks::PageQueue::Task::Kind;
    const auto next = [&] {
        const std::optional<checks::PageQueue::Task> task = queue.tryTake();
        return task ? (task->kind == Kind::Robots ? "robots " : "page ") + task->host +
                          (task->index >= 0 ? QByteArray::number(task->index) : QByteArray())
                    : QByteArray("none");
    };
    EXPECT_EQ(next(), "robots a");
    EXPECT_EQ(next(), "robots b");
    EXPECT_EQ(next(), "none") << "both hosts wait for their robots.txt";
    queue.robotsRead("a", {std::make_shared<const checks::RobotsTxt>(), std::nullopt});
    EXPECT_EQ(next(), "page a0");
    EXPECT_EQ(next(), "none") << "host a is at its limit, b still reads";
    queue.retryLater("a", 0, std::chrono::hours(1));
    EXPECT_EQ(next(), "page a1") << "a page waiting for its Retry-After frees its host";
    queue.robotsRead("b", {std::make_shared<const checks::RobotsTxt>(), std::nullopt});
    EXPECT_EQ(next(), "page b3");
    queue.pageDone("a");
    EXPECT_EQ(next(), "page a2");
    queue.stop();
    EXPECT_EQ(queue.take(), std::nullopt);
}

TEST(PageQueue, APausedHostStartsNothingAndASettledOneHandsOutItsPagesJudged)
{
    checks::PageQueue queue({"a", "a", "a", "b", "b"}, 4);
    const auto next = [&] {
        const std::optional<checks::PageQueue::Task> task = queue.tryTake();
        if (!task)
            return QByteArray("none");
        QByteArray line = task->host + QByteArray::number(task->index);
        if (task->settled)
            line += " " + task->settled->text.toUtf8();
        return line;
    };
    EXPECT_EQ(next(), "a-1");
    EXPECT_EQ(next(), "b-1");
    queue.robotsRead("a", {std::make_shared<const checks::RobotsTxt>(), std::nullopt});
    queue.robotsRead("b", {std::make_shared<const checks::RobotsTxt>(), std::nullopt});
    EXPECT_EQ(next(), "a0");
    queue.pauseHost("a", std::chrono::hours(1));
    queue.pauseHost("a", std::chrono::milliseconds(0));
    EXPECT_EQ(next(), "b3");
    EXPECT_EQ(next(), "b4");
    EXPECT_EQ(next(), "none") << "a is paused with pages waiting";
    queue.retryLater("a", 0, std::chrono::hours(1));
    EXPECT_EQ(queue.busyAnswer("a"), 1);
    EXPECT_EQ(queue.busyAnswer("a"), 2);
    queue.calmAnswer("a");
    EXPECT_EQ(queue.busyAnswer("a"), 1);

    EXPECT_EQ(queue.settleHost("a", PageVerdict::unreachable("left alone")).text, "left alone");
    EXPECT_EQ(queue.settleHost("a", PageVerdict::unreachable("again")).text, "left alone");
    EXPECT_EQ(next(), "a1 left alone");
    EXPECT_EQ(next(), "a2 left alone");
    EXPECT_EQ(next(), "a0 left alone") << "the page waiting to be asked again is not asked";
    EXPECT_EQ(next(), "none");
}

TEST(PageQueue, WorkersWaitingForARetryOutliveTheEntryTheyWaitFor)
{
    // Pages asked again after a moment, by workers that wait for the earliest
    // of them while another takes it: under AddressSanitizer a wait that holds
    // on to the taken entry fails here.
    constexpr int pages = 400, tries = 4;
    checks::PageQueue queue(QList<QByteArray>(pages, "a"), 4);
    std::vector<std::atomic<int>> asked(pages);
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&] {
            while (const std::optional<checks::PageQueue::Task> task = queue.take()) {
                if (task->kind == checks::PageQueue::Task::Kind::Robots)
                    queue.robotsRead(task->host, {std::make_shared<const checks::RobotsTxt>(), std::nullopt});
                else if (++asked[size_t(task->index)] < tries)
                    queue.retryLater(task->host, task->index, std::chrono::milliseconds(task->index % 3));
                else
                    queue.pageDone(task->host);
            }
        });
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_TRUE(std::all_of(asked.begin(), asked.end(), [](const std::atomic<int> &n) { return n == tries; }));
}

} // namespace
