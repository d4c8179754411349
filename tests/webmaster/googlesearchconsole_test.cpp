#include <gtest/gtest.h>

#include <QJsonObject>
#include <functional>

#include "net/httpclient.h"
#include "support/scopedenvironment.h"
#include "support/testcertificates.h"
#include "support/webmastergooglefake.h"
#include "support/webmastergooglekey.h"
#include "support/webmastertlsserver.h"
#include "webmaster/googletoken.h"
#include "webmaster/searchconsole.h"
#include "webmaster/serviceaccount.h"

using namespace webmaster;
using qctest::GoogleServiceAccountKey;
using qctest::ScopedEnvironment;
using qctest::TlsServer;
using qctest::verifyRs256;

namespace {

// Search Console and its token endpoint played by the fake over TLS, with a
// certificate of the tests' CA that the client trusts while a test runs, and
// one clock for the client and the fake.
class GoogleSearchConsole : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        certificates = new qctest::TestCertificates;
        key = new GoogleServiceAccountKey;
        if (!certificates->make())
            failure = certificates->lastError();
        else if (!key->make())
            failure = key->lastError();
    }
    static void TearDownTestSuite()
    {
        delete certificates;
        delete key;
        certificates = nullptr;
        key = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        ASSERT_TRUE(m_server.started());
        m_fake.clientEmail = GoogleServiceAccountKey::ClientEmail;
        m_fake.keyId = GoogleServiceAccountKey::KeyId;
        m_fake.tokenUrl = m_server.url("/token");
        m_fake.clock = [this] { return m_now; };
        m_fake.verifySignature = [](const QByteArray &input, const QByteArray &signature) {
            return verifyRs256(key->publicKeyPem(), input, signature);
        };
        const ServiceAccountFile file =
            readServiceAccount(key->writeKeyFile("key.json", key->fields(m_server.url("/token"))));
        ASSERT_TRUE(file.ok()) << file.problem.toStdString();
        m_account = file.account;
    }

    static inline qctest::TestCertificates *certificates = nullptr;
    static inline GoogleServiceAccountKey *key = nullptr;
    static inline QString failure;

    ScopedEnvironment m_env{
        ScopedEnvironment::withoutProxies({{"SSL_CERT_FILE", QFile::encodeName(certificates->caFile())}})};
    qctest::GoogleFake m_fake;
    TlsServer m_server{certificates->serverPem(), [this](const QByteArray &request) { return m_fake.answer(request); }};
    qint64 m_now = 1796000000;
    ServiceAccount m_account;
    THTTPClient m_http;
};

TEST_F(GoogleSearchConsole, OneTokenServesEveryCallUntilItNearlyExpires)
{
    m_fake.indexStatus.insert("https://site.example/indexed", {{"verdict", "PASS"},
                                                               {"coverageState", "Submitted and indexed"},
                                                               {"lastCrawlTime", "2026-11-30T01:02:03.250Z"}});
    m_fake.indexStatus.insert("https://site.example/found",
                              {{"verdict", "NEUTRAL"}, {"coverageState", "Discovered - currently not indexed"}});
    GoogleToken token(m_account, [this] { return m_now; });
    SearchConsole console(token, m_http);

    const GoogleCall sitemap = console.submitSitemap(m_server.url("/webmasters/v3/"), "sc-domain:site.example",
                                                     "https://site.example/sitemap.xml?part=1");
    EXPECT_TRUE(sitemap.ok()) << sitemap.message.toStdString();
    EXPECT_EQ(m_fake.sitemaps(), QList<QByteArray>{"sc-domain:site.example https://site.example/sitemap.xml?part=1"});

    struct Case
    {
        QByteArray url;
        QByteArray verdict;
        QString coverage;
        bool listed;
        QDateTime crawled;
    };
    const Case cases[] = {
        {"https://site.example/indexed", "PASS", "Submitted and indexed", true,
         QDateTime(QDate(2026, 11, 30), QTime(1, 2, 3, 250), Qt::UTC)},
        {"https://site.example/found", "NEUTRAL", "Discovered - currently not indexed", false, {}},
        {"https://site.example/new?q=\"x\"", "NEUTRAL", "URL is unknown to Google", false, {}},
    };
    for (const Case &c : cases) {
        const UrlInspection inspection =
            console.inspect(m_server.url("/v1/urlInspection/index:inspect"), "sc-domain:site.example", c.url);
        EXPECT_TRUE(inspection.call.ok()) << c.url.constData() << ": " << inspection.call.message.toStdString();
        EXPECT_EQ(inspection.verdict, c.verdict) << c.url.constData();
        EXPECT_EQ(inspection.coverageState, c.coverage) << c.url.constData();
        EXPECT_EQ(inspection.listed, c.listed) << c.url.constData();
        EXPECT_EQ(inspection.lastCrawlTime, c.crawled) << c.url.constData();
    }
    EXPECT_EQ(m_fake.inspected().last(), "sc-domain:site.example https://site.example/new?q=\"x\"");
    EXPECT_EQ(token.exchanges(), 1);

    // The token lasts 3599 s and is renewed when it has less than a minute left.
    const QByteArray address = m_server.url("/v1/urlInspection/index:inspect");
    m_now += 3599 - GoogleToken::RenewBeforeSeconds - 1;
    EXPECT_TRUE(console.inspect(address, "sc-domain:site.example", "https://site.example/a").call.ok());
    EXPECT_EQ(token.exchanges(), 1);
    m_now += 1;
    EXPECT_TRUE(console.inspect(address, "sc-domain:site.example", "https://site.example/b").call.ok());
    EXPECT_EQ(token.exchanges(), 2);

    // A token revoked before its time is replaced once, and the call goes through.
    m_fake.revokeTokens();
    EXPECT_TRUE(console.inspect(address, "sc-domain:site.example", "https://site.example/c").call.ok());
    EXPECT_EQ(token.exchanges(), 3);
    EXPECT_EQ(m_fake.tokens().size(), 3);
}

TEST_F(GoogleSearchConsole, ATokenHeldPastAnyLifetimeIsRenewedAndGooglesWordsNeverCarryIt)
{
    // An answer that claims a lifetime past any clock would be held for ever, or overflow the sum.
    m_fake.expiresIn = "9223372036854774784"; // the largest double below 2^63
    const QByteArray first = "ya29.fake-1-a1b2c3d4e5f6";
    m_fake.indexStatus.insert("https://site.example/a",
                              {{"verdict", "NEUTRAL"}, {"coverageState", QString::fromLatin1("seen with " + first)}});
    GoogleToken token(m_account, [this] { return m_now; });
    SearchConsole console(token, m_http);
    const QByteArray address = m_server.url("/v1/urlInspection/index:inspect");
    const UrlInspection inspection = console.inspect(address, "sc-domain:site.example", "https://site.example/a");
    ASSERT_TRUE(inspection.call.ok()) << inspection.call.message.toStdString();
    EXPECT_EQ(m_fake.tokens(), QList<QByteArray>{first});
    EXPECT_EQ(inspection.coverageState, "seen with [hidden]");
    EXPECT_TRUE(console.inspect(address, "sc-domain:site.example", "https://site.example/b").call.ok());
    EXPECT_EQ(token.exchanges(), 1);

    m_now += 2 * 24 * 3600;
    EXPECT_TRUE(console.inspect(address, "sc-domain:site.example", "https://site.example/b").call.ok());
    EXPECT_EQ(token.exchanges(), 2) << "no token is held for more than a day";
}

TEST_F(GoogleSearchConsole, RefusalsSayWhatToDoAndNeverRepeatASecret)
{
    m_fake.forbiddenProperties = {"https://other.example/"};
    m_fake.quota = 1;
    m_fake.echoCredentials = true; // a hostile answer repeats the token and the assertion
    GoogleToken token(m_account, [this] { return m_now; });
    SearchConsole console(token, m_http);
    const QByteArray inspect = m_server.url("/v1/urlInspection/index:inspect");
    const QByteArray apiBase = m_server.url("/webmasters/v3");

    struct Case
    {
        const char *name;
        std::function<GoogleCall()> call;
        GoogleOutcome outcome;
        QString says;
    };
    const QString addUser = QStringLiteral("add the service account to the property as a user (") +
                            GoogleServiceAccountKey::ClientEmail + " to https://other.example/";
    const Case cases[] = {
        {"property of another account",
         [&] { return console.inspect(inspect, "https://other.example/", "https://other.example/a").call; },
         GoogleOutcome::NoPermission, addUser},
        {"sitemap of another account",
         [&] { return console.submitSitemap(apiBase, "https://other.example/", "https://other.example/s.xml"); },
         GoogleOutcome::NoPermission, addUser},
        {"within the quota", [&] { return console.inspect(inspect, "sc-domain:a.example", "https://a.example/").call; },
         GoogleOutcome::Ok, ""},
        {"quota used up", [&] { return console.inspect(inspect, "sc-domain:a.example", "https://a.example/b").call; },
         GoogleOutcome::QuotaExhausted, "429 Too Many Requests: Quota exceeded for quota metric"},
        {"clear-text address, nothing sent",
         [&] { return console.inspect("http://127.0.0.1:9/", "sc-domain:a.example", "https://a.example/").call; },
         GoogleOutcome::BadAddress, "http://127.0.0.1:9/ is no https:// address"},
        {"token refused",
         [&] {
             m_fake.verifySignature = [](const QByteArray &, const QByteArray &) { return false; };
             GoogleToken another(m_account, [this] { return m_now; });
             return SearchConsole(another, m_http).inspect(inspect, "sc-domain:a.example", "https://a.example/").call;
         },
         GoogleOutcome::KeyRejected, "the token exchange was refused: Invalid JWT Signature. You sent grant_type="},
    };
    QStringList texts;
    for (const Case &c : cases) {
        const GoogleCall call = c.call();
        EXPECT_EQ(call.outcome, c.outcome) << c.name << ": " << call.message.toStdString();
        EXPECT_TRUE(call.message.contains(c.says)) << c.name << ": " << call.message.toStdString();
        texts.append(call.message);
    }
    EXPECT_TRUE(googleOutcomeEndsEngine(GoogleOutcome::QuotaExhausted));
    EXPECT_EQ(m_fake.requests(), 6) << "two token exchanges, four calls; nothing for the clear-text address";

    // The answers did repeat them: each was cut out of every text.
    QList<QByteArray> secrets = m_fake.tokens() + m_fake.assertions();
    for (const QByteArray &line : key->privateKeyPem().split('\n')) {
        if (line.size() > 40)
            secrets.append(line);
    }
    ASSERT_EQ(m_fake.assertions().size(), 2);
    EXPECT_TRUE(texts.join('\n').contains("Bearer [hidden]"));
    EXPECT_TRUE(texts.join('\n').contains("&assertion=[hidden]"));
    for (const QByteArray &secret : secrets) {
        for (const QString &text : texts)
            EXPECT_FALSE(text.contains(QString::fromLatin1(secret))) << text.toStdString();
    }
}

} // namespace
