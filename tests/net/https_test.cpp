#include <gtest/gtest.h>

#include <QTimer>

#include "netwire_support.h"
#include "support/connectproxy.h"
#include "support/lighttpdfixture.h"
#include "support/loopbackpeer.h"
#include "support/scopedenvironment.h"
#include "support/tempdir.h"
#include "support/testcertificates.h"
#include "tlspeer_support.h"

using nettest::EventLog;
using nettest::perform;
using qctest::ScopedEnvironment;

namespace {

const QByteArray echoScript = R"PERL(
my $len = $ENV{CONTENT_LENGTH} || 0;
my $data = '';
while (length($data) < $len) {
    my $got = read(STDIN, $data, $len - length($data), length($data));
    last unless $got;
}
print "Content-Type: text/plain\r\n\r\n";
print "$ENV{REQUEST_METHOD} $ENV{HTTPS} $ENV{HTTP_HOST} $data";
)PERL";

// lighttpd over TLS with a certificate of the tests' CA, which the process
// trusts through SSL_CERT_FILE while a test runs.
class Https : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        certificates = new qctest::TestCertificates;
        web = new qctest::LighttpdFixture;
        for (int i = 0; i < 100000; ++i)
            page += static_cast<char>((i * 7 + i / 251) & 0xFF);
        web->addFile("page.bin", page);
        web->addCgiScript("echo.cgi", echoScript);
        if (!certificates->make()) {
            failure = certificates->lastError();
            return;
        }
        web->useTls(certificates->serverPem());
        if (!web->start())
            failure = web->lastError();
    }
    static void TearDownTestSuite()
    {
        delete web;
        delete certificates;
        web = nullptr;
        certificates = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(failure.isEmpty()) << failure.toStdString(); }

    static inline qctest::TestCertificates *certificates = nullptr;
    static inline qctest::LighttpdFixture *web = nullptr;
    static inline QString failure;
    static inline QByteArray page;
    ScopedEnvironment m_env{
        ScopedEnvironment::withoutProxies({{"SSL_CERT_FILE", QFile::encodeName(certificates->caFile())}})};
};

TEST_F(Https, VerifiedRequestsByAddressAndByName)
{
    struct Case
    {
        const char *name;
        QByteArray url;
        THTTPActions action;
        QByteArray body; // "" for the static page, saved to a file
    };
    const QByteArray port = QByteArray::number(web->port());
    const Case cases[] = {
        {"GET by address", web->url("/page.bin"), httpGet, ""},
        {"GET by name", "https://localhost:" + port + "/page.bin", httpGet, ""},
        {"POST", web->url("/cgi-bin/echo.cgi"), httpPost, "POST on 127.0.0.1:" + port + " a=1&b=2"},
    };
    for (const Case &c : cases) {
        qctest::ScopedBaseDir dir;
        THTTPClient client;
        EventLog log(client);
        client.setURL(c.url);
        client.setPostData("a=1&b=2");
        client.setLocalFile(dir.file("answer"));
        EXPECT_EQ(perform(client, c.action), "") << c.name;
        EXPECT_TRUE(client.StatusLine().startsWith("HTTP/1.0 200")) << c.name;
        EXPECT_EQ(log.lines.first(), "connected 0 OK") << c.name;
        EXPECT_EQ(log.lines.last(), "disconnected 0 OK") << c.name;
        const QByteArray expected = c.body.isEmpty() ? page : c.body;
        EXPECT_TRUE(log.body == expected) << c.name;
        EXPECT_TRUE(qctest::readFile(dir.file("answer")) == expected) << c.name;
    }
}

TEST_F(Https, AKeptConnectionCarriesTheNextRequests)
{
    THTTPClient client;
    EventLog log(client);
    client.setPersistentConnection(true);
    client.setHTTPVersion("HTTP/1.1");
    for (int i = 0; i < 2; ++i) {
        log.body.clear();
        client.setURL(web->url("/page.bin"));
        EXPECT_EQ(perform(client, httpGet), "") << "request " << i;
        EXPECT_TRUE(log.body == page) << "request " << i;
    }
    log.body.clear();
    client.setURL(web->url("/cgi-bin/echo.cgi"));
    client.setPostData("a=1");
    EXPECT_EQ(perform(client, httpPost), "");
    EXPECT_EQ(log.body, "POST on 127.0.0.1:" + QByteArray::number(web->port()) + " a=1");
    EXPECT_EQ(log.lines.count("connected 0 OK"), 1);
}

TEST_F(Https, ThroughTheTunnelOfTheEnvironmentsProxy)
{
    qctest::ConnectProxy proxy;
    ASSERT_TRUE(proxy.start());
    ScopedEnvironment env({{"https_proxy", proxy.url()}});
    THTTPClient client;
    client.setUserAgent("Quillcast");
    client.setURL("https://localhost:" + QByteArray::number(web->port()) + "/cgi-bin/echo.cgi");
    client.setPostData("x=1");
    QByteArray answer;
    client.OnTransfer = [&](QObject *, qint32, const char *text, quint16 len) { answer.append(text, len); };
    EXPECT_EQ(perform(client, httpPost), "");
    proxy.stop();
    const QByteArray target = "localhost:" + QByteArray::number(web->port());
    EXPECT_EQ(proxy.requestHead(),
              "CONNECT " + target + " HTTP/1.0\r\nHost: " + target + "\r\nUser-Agent: Quillcast\r\n\r\n");
    EXPECT_EQ(answer, "POST on " + target + " x=1");
}

TEST_F(Https, CertificateProblemsAreNamed)
{
    struct Case
    {
        const char *name;
        QString pem;
        QByteArray trusted; // SSL_CERT_FILE
        QByteArray outcome;
    };
    const QByteArray ca = QFile::encodeName(certificates->caFile());
    const Case cases[] = {
        {"self-signed", certificates->selfSignedPem(), ca, "161: certificate verify failed: self-signed certificate"},
        {"issuer not trusted", certificates->serverPem(), "/nonexistent/ca.pem",
         "161: certificate verify failed: unable to get local issuer certificate"},
        {"certificate of another host", certificates->otherNamePem(), ca,
         "162: host name mismatch: certificate is not for 127.0.0.1"},
    };
    for (const Case &c : cases) {
        ScopedEnvironment env({{"SSL_CERT_FILE", c.trusted}});
        nettest::TlsPeer peer(c.pem, "HTTP/1.0 200 OK\r\n\r\nsecret", nettest::TlsPeer::End::CloseNotify);
        ASSERT_TRUE(peer.started()) << c.name;
        THTTPClient client;
        EventLog log(client);
        client.setURL(peer.url());
        EXPECT_EQ(perform(client, httpGet), c.outcome) << c.name;
        const QByteArray text = c.outcome.mid(c.outcome.indexOf(' ') + 1);
        EXPECT_EQ(log.lines, QList<QByteArray>{"connected " + c.outcome.left(3) + " " + text}) << c.name;
        EXPECT_EQ(client.StatusLine(), "") << c.name;
    }
}

TEST_F(Https, HandshakeWithAPeerThatSpeaksNoTls)
{
    qctest::LoopbackPeer peer;
    peer.send("HTTP/1.0 400 Bad Request\r\n\r\n").holdOpen();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    client.setURL("https://127.0.0.1:" + QByteArray::number(peer.port()) + "/");
    EXPECT_EQ(perform(client, httpGet), "160: handshake failed: wrong version number");
    EXPECT_EQ(client.SocketHandle(), -1);
    EXPECT_TRUE(peer.waitForClientClose());
}

TEST_F(Https, IdleEndsAStalledHandshake)
{
    qctest::LoopbackPeer peer;
    peer.holdOpen();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL("https://127.0.0.1:" + QByteArray::number(peer.port()) + "/");
    // The interrupt comes once the client's hello has reached the silent peer.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &client, [&] {
        if (!peer.request().isEmpty())
            client.setAction(httpIdle);
    });
    tick.start(1);
    EXPECT_EQ(perform(client, httpGet), "301: Interrupted.");
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_TRUE(peer.waitForClientClose());
}

TEST_F(Https, NameSentOnlyForANameAndServerEndWithOrWithoutCloseNotifyEndsTheBody)
{
    struct Case
    {
        const char *name;
        nettest::TlsPeer::End end;
        QByteArray host;
        QByteArray serverName; // what the hello named (SNI)
    };
    const Case cases[] = {
        {"close_notify, by address", nettest::TlsPeer::End::CloseNotify, "127.0.0.1", ""},
        {"plain close, by name", nettest::TlsPeer::End::PlainClose, "localhost", "localhost"},
    };
    for (const Case &c : cases) {
        nettest::TlsPeer peer(certificates->serverPem(), "HTTP/1.0 200 OK\r\n\r\nwhole body", c.end);
        ASSERT_TRUE(peer.started()) << c.name;
        THTTPClient client;
        EventLog log(client);
        client.setURL(peer.url(c.host));
        EXPECT_EQ(perform(client, httpGet), "") << c.name;
        EXPECT_EQ(log.body, "whole body") << c.name;
        EXPECT_EQ(log.lines.last(), "disconnected 0 OK") << c.name;
        EXPECT_TRUE(peer.clientSentCloseNotify()) << c.name << ": the client ends with close_notify";
        EXPECT_EQ(peer.serverName(), c.serverName) << c.name;
    }
}

} // namespace
