#include <gtest/gtest.h>

#include "net/urlcodec.h"
#include "netwire_support.h"
#include "support/lighttpdfixture.h"
#include "support/tempdir.h"

using nettest::perform;

namespace {

// Echoes the method, the content type and every form field as the server's
// side decoded them, one per line.
const QByteArray formEchoScript = R"PERL(
my $len = $ENV{CONTENT_LENGTH} || 0;
my $data = '';
while (length($data) < $len) {
    my $got = read(STDIN, $data, $len - length($data), length($data));
    last unless $got;
}
print "Content-Type: text/plain\r\n\r\n";
print "method=$ENV{REQUEST_METHOD}\n";
print "type=$ENV{CONTENT_TYPE}\n";
for my $pair (split /&/, $data) {
    my ($k, $v) = split /=/, $pair, 2;
    for ($k, $v) { s/\+/ /g; s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge; }
    print "field $k=$v\n";
}
)PERL";

class RealServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        web = new qctest::LighttpdFixture;
        QByteArray binary;
        for (int i = 0; i < 300000; ++i)
            binary += static_cast<char>((i * 31 + i / 256) & 0xFF);
        staticBody = binary;
        web->addFile("data/engines.bin", binary);
        web->addCgiScript("echo.cgi", formEchoScript);
        started = web->start();
    }
    static void TearDownTestSuite()
    {
        delete web;
        web = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(started) << web->lastError().toStdString(); }

    static inline qctest::LighttpdFixture *web = nullptr;
    static inline bool started = false;
    static inline QByteArray staticBody;
};

TEST_F(RealServer, StaticFileIsSavedByteIdentical)
{
    qctest::ScopedBaseDir dir;
    THTTPClient client;
    client.setUserAgent("Quillcast");
    client.setURL(web->url("/data/engines.bin"));
    client.setLocalFile(dir.file("engines.bin"));
    qint32 reported = 0;
    client.OnTransfer = [&](QObject *, qint32 count, const char *, quint16 len) {
        EXPECT_LE(len, 2048);
        reported = count;
    };
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_TRUE(client.StatusLine().startsWith("HTTP/1.0 200")) << client.StatusLine().constData();
    EXPECT_EQ(reported, staticBody.size());
    EXPECT_TRUE(qctest::readFile(dir.file("engines.bin")) == staticBody);
}

TEST_F(RealServer, FormPostReachesTheScriptDecoded)
{
    TURLCodec codec;
    auto encoded = [&](const QByteArray &value) {
        codec.setInputString(value);
        return codec.Encode();
    };
    THTTPClient client;
    client.setUserAgent("Quillcast");
    client.setURL(web->url("/cgi-bin/echo.cgi"));
    client.setContentType("application/x-www-form-urlencoded");
    client.setPostData("url=" + encoded("http://www.example.org/a b?x=1&y=2") +
                       "&email=" + encoded("me+you@example.org") + "&name=" + encoded("Zoë O'Hara"));
    QByteArray answer;
    client.OnTransfer = [&](QObject *, qint32, const char *text, quint16 len) { answer.append(text, len); };
    EXPECT_EQ(perform(client, httpPost), "");
    EXPECT_EQ(answer, "method=POST\n"
                      "type=application/x-www-form-urlencoded\n"
                      "field url=http://www.example.org/a b?x=1&y=2\n"
                      "field email=me+you@example.org\n"
                      "field name=Zoë O'Hara\n");
}

TEST_F(RealServer, MissingPageFailsWithItsStatus)
{
    THTTPClient client;
    client.setURL(web->url("/no/such/page.htm"));
    EXPECT_EQ(perform(client, httpGet), "151: 404 Not Found");
    EXPECT_TRUE(client.StatusLine().endsWith("404 Not Found"));
}

} // namespace
