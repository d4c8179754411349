#include <gtest/gtest.h>

#include <QJsonObject>
#include <atomic>
#include <csignal>
#include <functional>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include "net/httpclient.h"
#include "support/loopbacklisten.h"
#include "support/scopedenvironment.h"
#include "support/testcertificates.h"
#include "support/webmastergooglefake.h"
#include "support/webmastergooglekey.h"
#include "webmaster/googletoken.h"
#include "webmaster/searchconsole.h"
#include "webmaster/serviceaccount.h"

using namespace webmaster;
using qctest::GoogleServiceAccountKey;
using qctest::ScopedEnvironment;

namespace {

// An https server on 127.0.0.1 that answers each connection's one request
// with what the handler returns, until it is destroyed. Every read and write
// gives up after ten seconds.
class TlsServer
{
public:
    using Handler = std::function<QByteArray(const QByteArray &request)>;

    TlsServer(const QString &pemFile, Handler handler) : m_handler(std::move(handler))
    {
        m_context = SSL_CTX_new(TLS_server_method());
        const QByteArray pem = QFile::encodeName(pemFile);
        m_listenFd = qctest::listenOnLoopback(&m_port);
        if (m_context != nullptr && SSL_CTX_use_certificate_chain_file(m_context, pem.constData()) == 1 &&
            SSL_CTX_use_PrivateKey_file(m_context, pem.constData(), SSL_FILETYPE_PEM) == 1 && m_listenFd >= 0)
            m_thread = std::thread([this] { serve(); });
    }
    ~TlsServer()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listenFd >= 0)
            ::close(m_listenFd);
        SSL_CTX_free(m_context);
    }
    TlsServer(const TlsServer &) = delete;
    TlsServer &operator=(const TlsServer &) = delete;

    bool started() const { return m_thread.joinable(); }
    QByteArray url(const QByteArray &path) const { return "https://127.0.0.1:" + QByteArray::number(m_port) + path; }

private:
    void serve()
    {
        // OpenSSL writes with write(): a client that is gone must not end the test program.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        while (!m_stopping) {
            if (!qctest::waitForEvents(m_listenFd, POLLIN, m_stopping, 1000))
                continue;
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                answer(fd);
        }
    }

    void answer(int fd)
    {
        const timeval deadline{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &deadline, sizeof deadline);
        SSL *ssl = SSL_new(m_context);
        SSL_set_fd(ssl, fd);
        QByteArray request;
        if (SSL_accept(ssl) == 1 && readRequest(ssl, request)) {
            const QByteArray answer = m_handler(request);
            SSL_write(ssl, answer.constData(), int(answer.size()));
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(fd);
    }

    // The head, then as many body bytes as Content-Length says.
    static bool readRequest(SSL *ssl, QByteArray &request)
    {
        char buffer[4096];
        qsizetype wanted = -1;
        while (wanted < 0 || request.size() < wanted) {
            const int got = SSL_read(ssl, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            request.append(buffer, got);
            const qsizetype headEnd = request.indexOf("\r\n\r\n");
            if (wanted < 0 && headEnd >= 0) {
                const qsizetype field = request.toLower().indexOf("\r\ncontent-length:");
                const qsizetype length = field >= 0 && field < headEnd
                                             ? request.mid(field + 17, request.indexOf("\r\n", field + 2) - field - 17)
                                                   .trimmed()
                                                   .toLongLong()
                                             : 0;
                wanted = headEnd + 4 + length;
            }
        }
        return true;
    }

    Handler m_handler;
    SSL_CTX *m_context = nullptr;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

bool verifyRs256(const QByteArray &publicPem, const QByteArray &input, const QByteArray &signature)
{
    BIO *bio = BIO_new_mem_buf(publicPem.constData(), int(publicPem.size()));
    EVP_PKEY *key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    const bool valid =
        key != nullptr && EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
        EVP_DigestVerify(context, reinterpret_cast<const unsigned char *>(signature.constData()),
                         size_t(signature.size()), reinterpret_cast<const unsigned char *>(input.constData()),
                         size_t(input.size())) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return valid;
}

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
