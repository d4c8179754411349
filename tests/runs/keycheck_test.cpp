#include "net/httpclient.h"
#include "runs/keycheck.h"
#include "support/loopbacklisten.h"
#include "support/loopbackpeer.h"

#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <unistd.h>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString key = QStringLiteral("0123456789abcdef");

TEST(KeyFileCheck, TheFinalAnswerMustHoldTheKeyAndAProblemSaysWhatHappened)
{
    qctest::LoopbackPeer moved, withBom, other, missing, huge, silent;
    withBom.readRequest().send("HTTP/1.0 200 OK\r\n\r\n\xEF\xBB\xBF" + key.toUtf8() + " \r\n").closeConnection();
    ASSERT_TRUE(withBom.start());
    moved.readRequest().send("HTTP/1.0 308 Moved\r\nLocation: " + withBom.url("/k.txt") + "\r\n\r\n").closeConnection();
    other.readRequest().send("HTTP/1.0 200 OK\r\n\r\nsomething else\n").closeConnection();
    missing.readRequest().send("HTTP/1.1 404 Not Found\r\n\r\n" + key.toUtf8()).closeConnection();
    huge.readRequest().send("HTTP/1.0 200 OK\r\n\r\n" + key.toUtf8() + QByteArray(5000, ' ') + "x").holdOpen();
    silent.readRequest().holdOpen();
    for (qctest::LoopbackPeer *peer : {&moved, &other, &missing, &huge, &silent})
        ASSERT_TRUE(peer->start());
    quint16 closedPort = 0;
    ::close(qctest::listenOnLoopback(&closedPort));

    const struct
    {
        const char *behaviour;
        QByteArray url;
        QString problem;
        QByteArray finalUrl;
    } cases[] = {
        {"a key file behind a redirect, with a BOM and a line end", moved.url("/k.txt"), "", withBom.url("/k.txt")},
        {"another text", other.url("/k.txt"), "the file does not hold the key", other.url("/k.txt")},
        {"an error page holding the key", missing.url("/k.txt"), "HTTP/1.1 404 Not Found", missing.url("/k.txt")},
        {"the key followed by much more", huge.url("/k.txt"), "the file does not hold the key", huge.url("/k.txt")},
        {"a refused connection", "http://127.0.0.1:" + QByteArray::number(closedPort) + "/k.txt",
         "10061: [10061] Connection refused", ""},
        {"a server that never answers", silent.url("/k.txt"), "no answer within 1 s", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        THTTPClient http;
        const KeyFileCheck check = CheckIndexNowKeyFile(http, QString::fromLatin1(c.url), key, 1);
        EXPECT_EQ(check.problem, c.problem);
        EXPECT_EQ(check.finalUrl, QString::fromLatin1(c.finalUrl));
        EXPECT_EQ(check.redirected(), !c.finalUrl.isEmpty() && c.finalUrl != c.url);
    }
}

TEST(KeyFileCheck, AStopEndsItAtOnce)
{
    qctest::LoopbackPeer silent;
    silent.readRequest().holdOpen();
    ASSERT_TRUE(silent.start());
    THTTPClient http;
    const KeyFileCheck check = CheckIndexNowKeyFile(http, QString::fromLatin1(silent.url("/k.txt")), key, 30,
                                                    [&silent] { return !silent.request().isEmpty(); });
    EXPECT_EQ(check.problem, "stopped");
    EXPECT_EQ(check.finalUrl, "");
}

} // namespace
