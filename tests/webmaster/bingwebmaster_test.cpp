#include <gtest/gtest.h>

#include "net/fetch.h"
#include "net/httpclient.h"
#include "support/scopedenvironment.h"
#include "support/tempdir.h"
#include "support/testcertificates.h"
#include "support/webmasterbingfake.h"
#include "webmaster/bingapikey.h"
#include "webmaster/bingbatches.h"
#include "webmaster/bingwebmaster.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include <sys/stat.h>

using webmaster::BingOutcome;
using webmaster::BingWebmaster;

namespace {

TEST(BingBatches, SplitWithinTheBatchSizeAndTheAllowanceInListOrder)
{
    const struct
    {
        const char *behaviour;
        int urls;
        int allowance;
        int limit;
        QList<int> sizes;
        int waiting;
    } cases[] = {
        {"an empty list sends nothing", 0, 10, 500, {}, 0},
        {"fewer than a batch", 3, 10, 500, {3}, 0},
        {"exactly the documented batch", 500, 10000, 500, {500}, 0},
        {"one past the batch", 501, 10000, 500, {500, 1}, 0},
        {"the quota cuts the list", 1200, 700, 500, {500, 200}, 500},
        {"the quota ends on a batch's edge", 9, 6, 3, {3, 3}, 3},
        {"a quota used up sends nothing", 5, 0, 500, {}, 5},
        {"a negative quota is none", 5, -3, 500, {}, 5},
        {"a batch limit below one is one", 2, 10, 0, {1, 1}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        QStringList urls;
        for (int i = 0; i < c.urls; ++i)
            urls.append(QStringLiteral("https://site.example/%1").arg(i));
        const webmaster::BingBatchPlan plan = webmaster::planBingBatches(urls, c.allowance, c.limit);
        QList<int> sizes;
        QStringList sent;
        for (const QStringList &batch : plan.batches) {
            sizes.append(int(batch.size()));
            sent += batch;
        }
        EXPECT_EQ(sizes, c.sizes);
        EXPECT_EQ(sent, urls.mid(0, sent.size()));
        EXPECT_EQ(plan.waiting, c.waiting);
        EXPECT_EQ(plan.waitingMessage.isEmpty(), c.waiting == 0);
    }
    EXPECT_EQ(webmaster::planBingBatches({"a", "b", "c"}, 1).waitingMessage,
              "2 of 3 URLs wait for the next run: Bing's quota for the site allows 1 more today");
}

TEST(BingOutcome, AnswersMapToOneOutcomeAndAMessageWithoutTheKey)
{
    using Fetch = net::FetchResult::Outcome;
    const QByteArray key = "Secret0123456789";
    const struct
    {
        const char *behaviour;
        Fetch fetch;
        QByteArray statusLine; // or the fetch's text for a failure
        QByteArray body;
        BingOutcome outcome;
        bool fails;
        bool stops;
        QString message;
    } cases[] = {
        {"an accepted call", Fetch::Success, "HTTP/1.1 200 OK", R"({"d":null})", BingOutcome::Ok, false, false, ""},
        {"an invalid key", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request",
         R"({"ErrorCode":3,"Message":"ERROR!!! InvalidApiKey"})", BingOutcome::InvalidKey, true, true,
         "the API key is not valid: ErrorCode 3, ERROR!!! InvalidApiKey"},
        {"the user throttled", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request",
         R"({"ErrorCode":4,"Message":"ERROR!!! ThrottleUser"})", BingOutcome::Throttled, true, true,
         "too many requests: Bing asks to retry later: ErrorCode 4, ERROR!!! ThrottleUser"},
        {"a 429 without the API's error", Fetch::HttpStatus, "HTTP/1.1 429 Too Many Requests", "",
         BingOutcome::Throttled, true, true,
         "too many requests: Bing asks to retry later: HTTP/1.1 429 Too Many Requests"},
        {"not authorized for the site", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request",
         R"({"ErrorCode":14,"Message":"ERROR!!! NotAuthorized"})", BingOutcome::NotAuthorized, true, true,
         "the API key's user may not act for this site: ErrorCode 14, ERROR!!! NotAuthorized"},
        {"the quota used up is no failure", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request",
         R"({"ErrorCode":2,"Message":"ERROR!!! Quota remaining for today: 0, Submitted: 3"})", BingOutcome::QuotaUsedUp,
         false, true,
         "the site's daily quota is used up: the URLs wait for the next run: ErrorCode 2, ERROR!!! Quota remaining "
         "for today: 0, Submitted: 3"},
        {"a refused URL fails the batch only", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request",
         R"({"ErrorCode":7,"Message":"ERROR!!! InvalidUrl"})", BingOutcome::InvalidUrl, true, false,
         "Bing refused a URL or parameter: ErrorCode 7, ERROR!!! InvalidUrl"},
        {"another code", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request", R"({"ErrorCode":16,"Message":"gone"})",
         BingOutcome::ApiError, true, false, "Bing reported an error: ErrorCode 16, gone"},
        {"a 5xx page", Fetch::HttpStatus, "HTTP/1.1 503 Service Unavailable", "<html>busy</html>",
         BingOutcome::ServerError, true, false, "Bing's server failed: HTTP/1.1 503 Service Unavailable"},
        {"a redirect is not followed", Fetch::HttpStatus, "HTTP/1.1 302 Found", "", BingOutcome::BadAnswer, true, false,
         "the answer is not the API's: HTTP/1.1 302 Found"},
        {"a network error", Fetch::Failed, "10061: [10061] Connection refused", "", BingOutcome::NetworkError, true,
         false, "network error: 10061: [10061] Connection refused"},
        {"a timeout", Fetch::TimedOut, "no answer within 30 s", "", BingOutcome::TimedOut, true, false,
         "no answer in time: no answer within 30 s"},
        {"a stop", Fetch::Stopped, "stopped", "", BingOutcome::Stopped, false, true, "stopped"},
        {"a huge answer", Fetch::TooLarge, "larger than 1048576 bytes", "", BingOutcome::BadAnswer, true, false,
         "the answer is not the API's: larger than 1048576 bytes"},
        {"a server that echoes the key", Fetch::HttpStatus, "HTTP/1.1 400 Bad key Secret0123456789",
         R"({"ErrorCode":3,"Message":"key Secret0123456789 (secret0123456789)\r\nrefused"})", BingOutcome::InvalidKey,
         true, true, "the API key is not valid: ErrorCode 3, key [hidden] ([hidden])  refused"},
        {"a key at the cut of a long message", Fetch::HttpStatus, "HTTP/1.1 400 Bad Request",
         R"({"ErrorCode":3,"Message":")" + QByteArray(290, 'x') + key + R"("})", BingOutcome::InvalidKey, true, true,
         "the API key is not valid: ErrorCode 3, " + QString(290, 'x') + "[hidden]"},
        {"a 200 that is no answer of the API", Fetch::Success, "HTTP/1.1 200 OK", "<html>Welcome</html>",
         BingOutcome::BadAnswer, true, false, "the answer is not the API's: HTTP 200 without the API's JSON"},
        {"a network error that names the address", Fetch::Failed,
         "160: handshake failed at https://x.example/?apikey=" + key, "", BingOutcome::NetworkError, true, false,
         "network error: 160: handshake failed at https://x.example/?apikey=[hidden]"},
        {"a status text that echoes the key", Fetch::HttpStatus, "HTTP/1.1 404 No Secret0123456789", "",
         BingOutcome::BadAnswer, true, false, "the answer is not the API's: HTTP/1.1 404 No [hidden]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        net::FetchResult fetch;
        fetch.outcome = c.fetch;
        if (c.fetch == Fetch::Success || c.fetch == Fetch::HttpStatus) {
            fetch.statusLine = c.statusLine;
            fetch.statusCode = net::statusCodeOf(c.statusLine);
            fetch.text = c.fetch == Fetch::HttpStatus ? net::printableStatusLine(c.statusLine) : QString();
        } else {
            fetch.text = QString::fromUtf8(c.statusLine);
        }
        fetch.body = c.body;
        const webmaster::BingResult result = webmaster::classifyBingFetch(fetch, key);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(webmaster::bingOutcomeFails(result.outcome), c.fails);
        EXPECT_EQ(webmaster::bingOutcomeStopsEngine(result.outcome), c.stops);
        EXPECT_EQ(result.message, c.message);
    }
}

TEST(BingWebmaster, DatesOfTheApiAreMomentsAfter1970OrNothing)
{
    const struct
    {
        const char *text;
        qint64 msecs; // -1: invalid
    } cases[] = {
        {"/Date(1773637897000-0700)/", 1773637897000},
        {"/Date(-62135596800000)/", -1},
        {"/Date(0)/", -1},
        {"2024-03-01T10:00:00Z", 1709287200000},
        {"2024-03-01T10:00:00", 1709287200000},
        {"/Date(12x)/", -1},
        {"", -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const QDateTime moment = BingWebmaster::parseDate(QString::fromLatin1(c.text));
        EXPECT_EQ(moment.isValid() ? moment.toMSecsSinceEpoch() : -1, c.msecs);
    }
}

TEST(BingApiKey, TheKeyFileHoldsOneKeyAndItsTextNeverShows)
{
    const struct
    {
        const char *behaviour;
        QByteArray content;
        mode_t mode;
        QByteArray key;  // when read
        QString problem; // after "The Bing API key file <path> "
    } cases[] = {
        {"blanks and the line end trimmed", "  Key0123abc \r\n", 0600, "Key0123abc", ""},
        {"a byte-order mark dropped", "\xEF\xBB\xBFKey0123abc\n", 0600, "Key0123abc", ""},
        {"empty", " \n", 0600, "", "holds no key"},
        {"two words", "Key0123 abc", 0600, "",
         "holds no usable key: it has blanks, control characters or non-ASCII bytes inside"},
        {"two lines", "Key0123\nabc", 0600, "",
         "holds no usable key: it has blanks, control characters or non-ASCII bytes inside"},
        {"non-ASCII", "Key0123\xC3\xA9", 0600, "",
         "holds no usable key: it has blanks, control characters or non-ASCII bytes inside"},
        {"readable by others", "Key0123abc", 0644, "",
         "may be read by others (permissions 0644): it is refused; make it private with \"chmod 600 %1\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bing.key"));
        qctest::writeFile(path, c.content);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        const webmaster::BingApiKey read = webmaster::readBingApiKey(path);
        EXPECT_EQ(read.key, c.key);
        QString expected = c.problem.isEmpty() ? QString() : "The Bing API key file " + path + " " + c.problem;
        expected.replace(QStringLiteral("%1"), path);
        EXPECT_EQ(read.problem, expected);
        EXPECT_FALSE(read.problem.contains(QStringLiteral("Key0123")));
    }
}

// The fake API over https, its certificate from the tests' CA, which the
// process trusts through SSL_CERT_FILE while a test runs.
class BingAgainstFake : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        certificates = new qctest::TestCertificates;
        if (!certificates->make())
            failure = certificates->lastError();
    }
    static void TearDownTestSuite()
    {
        delete certificates;
        certificates = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(failure.isEmpty()) << failure.toStdString(); }

    // Every text a result carries, for the search for the key.
    static QString texts(const webmaster::BingResult &result) { return result.message + '\n' + result.address; }

    static inline qctest::TestCertificates *certificates = nullptr;
    static inline QString failure;
    qctest::ScopedEnvironment m_env{
        qctest::ScopedEnvironment::withoutProxies({{"SSL_CERT_FILE", QFile::encodeName(certificates->caFile())}})};
    THTTPClient http;
};

TEST_F(BingAgainstFake, QuotaBatchesAndUrlInfoEndToEnd)
{
    qctest::WebmasterBingFake fake(certificates->serverPem());
    ASSERT_TRUE(fake.start()) << fake.lastError().toStdString();
    const QString site = fake.site();
    fake.setQuota(7, 100);
    const QDateTime crawled = QDateTime::fromMSecsSinceEpoch(1773637897000, Qt::UTC);
    fake.setUrlInfo(QStringLiteral("https://site.example/known?a=1&b=\"q\""), crawled, 200);
    fake.setUrlInfo(QStringLiteral("https://site.example/gone"), crawled, 404);
    BingWebmaster bing(http, fake.apiKey());

    const webmaster::BingQuota before = bing.quota(fake.base(), site);
    ASSERT_TRUE(before.result.ok()) << before.result.message.toStdString();
    EXPECT_EQ(before.daily, 7);
    EXPECT_EQ(before.monthly, 100);
    EXPECT_EQ(before.result.address,
              QString::fromUtf8(fake.base()) + "/GetUrlSubmissionQuota?siteUrl=https%3A%2F%2Fsite.example%2F&apikey=…");

    QStringList urls;
    for (int i = 0; i < 10; ++i)
        urls.append(site + QStringLiteral("page-%1?x=\"%2\"").arg(i).arg(QChar(0xE9)));
    const webmaster::BingBatchPlan plan = webmaster::planBingBatches(urls, before.allowance(), 3);
    EXPECT_EQ(plan.waiting, 3);
    for (const QStringList &batch : plan.batches) {
        const webmaster::BingResult sent = bing.submitBatch(fake.base(), site, batch);
        EXPECT_TRUE(sent.ok()) << sent.message.toStdString();
    }
    const QList<qctest::BingFakeBatch> received = fake.batches();
    ASSERT_EQ(received.size(), 3);
    QStringList all;
    for (const qctest::BingFakeBatch &batch : received) {
        EXPECT_EQ(batch.siteUrl, site);
        all += batch.urls;
    }
    EXPECT_EQ(all, urls.mid(0, 7));

    const qctest::BingFakeRequest post = fake.requests().at(1);
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.call, "SubmitUrlbatch");
    EXPECT_EQ(post.query, "apikey=" + fake.apiKey());
    EXPECT_EQ(post.contentType, "application/json; charset=utf-8");
    EXPECT_EQ(post.body, BingWebmaster::batchBody(site, urls.mid(0, 3)));

    EXPECT_EQ(bing.quota(fake.base(), site).allowance(), 0);
    const webmaster::BingResult over = bing.submitBatch(fake.base(), site, urls.mid(7));
    EXPECT_EQ(over.outcome, BingOutcome::QuotaUsedUp) << over.message.toStdString();
    EXPECT_EQ(fake.batches().size(), 3);

    const struct
    {
        QString url;
        bool listed;
        int status;
    } infos[] = {
        {QStringLiteral("https://site.example/known?a=1&b=\"q\""), true, 200},
        {QStringLiteral("https://site.example/gone"), false, 404},
        {QStringLiteral("https://site.example/never"), false, 0},
    };
    for (const auto &c : infos) {
        SCOPED_TRACE(c.url.toStdString());
        const webmaster::BingUrlInfo info = bing.urlInfo(fake.base(), site, c.url);
        ASSERT_TRUE(info.result.ok()) << info.result.message.toStdString();
        EXPECT_EQ(info.listed, c.listed);
        EXPECT_EQ(info.httpStatus, c.status);
        EXPECT_EQ(info.lastCrawled, c.status != 0 ? crawled : QDateTime());
    }
    EXPECT_EQ(fake.requests().last().query, "siteUrl=https%3A%2F%2Fsite.example%2F&url=https%3A%2F%2Fsite.example"
                                            "%2Fnever&apikey=" +
                                                fake.apiKey());
}

TEST_F(BingAgainstFake, RefusalsAndFailuresAreNamedAndNoTextHoldsTheKey)
{
    qctest::WebmasterBingFake defaults(QString{});
    const QString site = defaults.site();
    const QByteArray key = defaults.apiKey();
    const struct
    {
        const char *behaviour;
        std::function<void(qctest::WebmasterBingFake &)> setUp;
        QByteArray base; // "" for the fake's
        BingOutcome outcome;
    } cases[] = {
        {"another key", [](auto &f) { f.setApiKey("someOtherKey"); }, "", BingOutcome::InvalidKey},
        {"throttled", [](auto &f) { f.setThrottled(true); }, "", BingOutcome::Throttled},
        {"another site", [](auto &f) { f.setSite(QStringLiteral("https://other.example/")); }, "",
         BingOutcome::NotAuthorized},
        {"the server fails", [](auto &f) { f.setServerFailure(true); }, "", BingOutcome::ServerError},
        {"nothing listens", [](auto &) {}, "https://127.0.0.1:" + QByteArray::number(qctest::freeLoopbackPort()),
         BingOutcome::NetworkError},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        qctest::WebmasterBingFake each(certificates->serverPem());
        ASSERT_TRUE(each.start()) << each.lastError().toStdString();
        c.setUp(each);
        const QByteArray base = c.base.isEmpty() ? each.base() : c.base;
        BingWebmaster bing(http, key);
        const webmaster::BingResult results[] = {
            bing.quota(base, site).result,
            bing.submitBatch(base, site, {site + QStringLiteral("a")}),
            bing.urlInfo(base, site, site + QStringLiteral("a")).result,
        };
        for (const webmaster::BingResult &result : results) {
            EXPECT_EQ(result.outcome, c.outcome) << result.message.toStdString();
            EXPECT_FALSE(result.message.isEmpty());
            EXPECT_TRUE(result.address.endsWith(QStringLiteral("apikey=…")));
            EXPECT_FALSE(texts(result).contains(QString::fromUtf8(key), Qt::CaseInsensitive));
        }
        EXPECT_TRUE(each.batches().isEmpty());
    }
}

} // namespace
