// The window's handlers of the HTTP component's events.

#include "net/httpclient.h"
#include "runs/ui/statuslog.h"
#include "support/gui/windowfixture.h"
#include "support/loopbackpeer.h"

#include "runs/ui/gauge.h"

using qctest::WindowTest;

namespace {

const QByteArray Body = QByteArray(3000, 'b');

class HttpEvents : public WindowTest
{
protected:
    // One exchange through the window's HTTP component with a peer that answers
    // with three headers and a body longer than one chunk.
    void exchange()
    {
        peer.readRequest()
            .send("HTTP/1.0 200 OK\r\nLocation: http://elsewhere.example/\r\nContent-Type: text/html\r\n"
                  "X-Last: yes\r\n\r\n" + Body)
            .closeConnection();
        ASSERT_TRUE(peer.start());
        window().HTTPClient().setURL(peer.url("/page"));
        window().HTTPClient().setAction(httpGet);
    }
    qctest::LoopbackPeer peer;
};

TEST_F(HttpEvents, DebugModeCollectsHeadersThenBodyChunks)
{
    start({"/debug"});
    exchange();
    const QStringList lines = window().AnswerBuffer;
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines.mid(0, 6), QStringList({"Field: Location", "Value: http://elsewhere.example/",
                                            "Field: Content-Type", "Value: text/html", "Field: X-Last",
                                            "Value: yes"}));
    EXPECT_EQ(lines.mid(6).join(QString()), QString::fromLatin1(Body)) << "every chunk is a line of its own";
    // The last header wins, whatever came before it.
    EXPECT_EQ(window().LastHeaderField, QStringLiteral("X-Last"));
    EXPECT_EQ(window().LastHeaderValue, QStringLiteral("yes"));
    const StatusLog *log = find<StatusLog>("SubmitStatusRichEdit");
    QStringList texts;
    for (int i = 0; i < log->lineCount(); ++i)
        texts << log->lineText(i);
    for (const char *line : {"Connected", "Starting transfer", "Transfer complete", "Disconnected"})
        EXPECT_TRUE(texts.contains(QLatin1String(line))) << line;
}

TEST_F(HttpEvents, WithoutDebugModeOnlyTheBodyIsCollectedAndTheGaugeMoves)
{
    start();
    exchange();
    EXPECT_EQ(window().AnswerBuffer.join(QString()), QString::fromLatin1(Body));
    EXPECT_EQ(find<StatusLog>("SubmitStatusRichEdit")->lineCount(), 0);
    // Connected, three headers, start, two or more chunks, end, disconnected: the bar is full.
    EXPECT_EQ(find<Gauge>("SingleGauge")->value(), 100);
}

TEST_F(HttpEvents, AnErrorEventBecomesARedUnderlinedStatusLine)
{
    start();
    peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\nbody").closeConnection();
    ASSERT_TRUE(peer.start());
    // A directory cannot be the answer's file.
    window().HTTPClient().setURL(peer.url("/"));
    window().HTTPClient().setLocalFile(base.path());
    window().HTTPClient().setAction(httpGet);
    const StatusLog *log = find<StatusLog>("SubmitStatusRichEdit");
    ASSERT_GE(log->lineCount(), 1);
    EXPECT_EQ(log->lineText(0), QStringLiteral("Can't open local file for writing."));
    EXPECT_TRUE(log->lineStyle(0).bold);
    EXPECT_TRUE(log->lineStyle(0).underline);
}

} // namespace
