#include <gtest/gtest.h>

#include <QStringList>
#include <cstring>

#include "net/httpresponse.h"
#include "net/linebuf.h"

namespace {

// Records what the parser reports, in order.
class Recorder : public HttpResponseSink
{
public:
    QList<QByteArray> events;
    QByteArray received;

    void header(const QByteArray &field, const QByteArray &value) override
    {
        events << "H[" + field + "|" + value + "]";
    }
    void startTransfer() override { events << "start"; }
    void body(const char *data, int len, qint64 bodyCount) override
    {
        received.append(data, len);
        EXPECT_EQ(bodyCount, received.size());
        EXPECT_LE(len, LineBuffer::m_lenBuffer);
    }
    void answerEnded() override { events << "ended"; }
    void framingFailed(const QString &detail) override { events << "failed: " + detail.toLatin1(); }
};

// Feeds bytes the way the connection does: each slice goes into the buffer's
// free space, complete pieces go to the parser, and at the end what is left
// goes as the last piece. Returns the pieces' lengths.
QList<int> feedInSlices(const QByteArray &wire, int sliceSize, HttpResponseParser &parser)
{
    LineBuffer buffer;
    buffer.reset();
    QList<int> pieces;
    auto handOn = [&](bool atEnd) {
        const char *data = nullptr;
        int len = 0;
        while (atEnd ? buffer.nextPieceAtEnd(&data, &len) : buffer.nextPiece(&data, &len)) {
            pieces << len;
            parser.feed(data, len);
            buffer.setSplitLines(parser.wantsLines());
        }
    };
    qsizetype offset = 0;
    while (offset < wire.size()) {
        handOn(false);
        const int n = static_cast<int>(std::min<qsizetype>({sliceSize, wire.size() - offset, buffer.freeSize()}));
        std::memcpy(buffer.freeSpace(), wire.constData() + offset, static_cast<size_t>(n));
        buffer.commit(n);
        offset += n;
    }
    handOn(false);
    handOn(true);
    return pieces;
}

const QByteArray sampleResponse = "HTTP/1.0 200 OK\r\n"
                                  "Server:Apache\r\n"
                                  "X-A:  b\r\n"
                                  "\tcontinued here\r\n"
                                  "NoColonAtAll\r\n"
                                  "Empty:\r\n"
                                  "\r\n"
                                  "body line 1\r\nbody\rline 2\r\n";

TEST(ResponseParsing, SameEventsWhateverTheSliceSize)
{
    const QList<QByteArray> expected = {"H[Server|Apache]", "H[X-A| b]", "H[|continued here]",
                                        "H[NoColonAtAll|]", "H[Empty|]", "start"};
    for (int slice : {1, 2, 3, 7, 16, 64, 2048, 100000}) {
        Recorder recorder;
        HttpResponseParser parser(recorder);
        feedInSlices(sampleResponse, slice, parser);
        EXPECT_EQ(recorder.events, expected) << "slice " << slice;
        EXPECT_EQ(parser.statusLine(), "HTTP/1.0 200 OK") << "slice " << slice;
        EXPECT_EQ(recorder.received, "body line 1\r\nbody\rline 2\r\n") << "slice " << slice;
        EXPECT_EQ(parser.bodyCount(), recorder.received.size());
        EXPECT_EQ(parser.state(), HttpResponseParser::State::Body);
    }
}

TEST(ResponseParsing, ConsumedCountsEveryByteButTheLineEnds)
{
    Recorder recorder;
    HttpResponseParser parser(recorder);
    feedInSlices(sampleResponse, 5, parser);
    const qsizetype lineEndsInHead = 7 * 2;
    EXPECT_EQ(parser.consumed(), sampleResponse.size() - lineEndsInHead);
}

TEST(ResponseParsing, LongHeaderLineArrivesInBufferSizedPieces)
{
    const QByteArray longLine = "X-Long: " + QByteArray(3000 - 8, 'v');
    const QByteArray wire = "HTTP/1.0 200 OK\r\n" + longLine + "\r\n\r\n";
    Recorder recorder;
    HttpResponseParser parser(recorder);
    const QList<int> pieces = feedInSlices(wire, 700, parser);
    EXPECT_EQ(pieces, (QList<int>{15, 2048, 952, 0}));
    ASSERT_EQ(recorder.events.size(), 3);
    EXPECT_EQ(recorder.events[0], "H[X-Long|" + QByteArray(2048 - 8, 'v') + "]");
    // The rest of the line has no colon of its own: it is all Field.
    EXPECT_EQ(recorder.events[1], "H[" + QByteArray(952, 'v') + "|]");
}

TEST(ResponseParsing, StatusLineKeepsItsFirst1024Bytes)
{
    const QByteArray status = "HTTP/1.0 200 " + QByteArray(1500, 'k');
    Recorder recorder;
    HttpResponseParser parser(recorder);
    feedInSlices(status + "\r\n\r\n", 333, parser);
    EXPECT_EQ(parser.statusLine(), status.left(1024));
}

TEST(ResponseParsing, BodyBytesAfterTheEmptyLineGoOnRaw)
{
    // Lines after the empty line, and a CR LF split over two receives, are body.
    const QByteArray wire = "HTTP/1.0 200 OK\r\n\r\nNot: a header\r\n\r\nend";
    Recorder recorder;
    HttpResponseParser parser(recorder);
    feedInSlices(wire, 18, parser);
    EXPECT_EQ(recorder.events, QList<QByteArray>{"start"});
    EXPECT_EQ(recorder.received, "Not: a header\r\n\r\nend");
}

TEST(ResponseParsing, ResponseCutShortStillHandsOverItsLastBytes)
{
    struct Case
    {
        const char *name;
        QByteArray wire;
        QByteArray status;
        QList<QByteArray> events;
    };
    const Case cases[] = {
        {"nothing at all", "", "", {}},
        {"status line without CR LF", "HTTP/1.0 204 No Content", "HTTP/1.0 204 No Content", {}},
        {"header without CR LF", "HTTP/1.0 200 OK\r\nA: b", "HTTP/1.0 200 OK", {"H[A|b]"}},
        {"bare LF is not a line end", "HTTP/1.0 200 OK\nA: b\n\n", "HTTP/1.0 200 OK\nA: b\n\n", {}},
    };
    for (const Case &c : cases) {
        Recorder recorder;
        HttpResponseParser parser(recorder);
        feedInSlices(c.wire, 4, parser);
        EXPECT_EQ(parser.statusLine(), c.status) << c.name;
        EXPECT_EQ(recorder.events, c.events) << c.name;
        EXPECT_TRUE(recorder.received.isEmpty()) << c.name;
    }
}

TEST(ResponseParsing, InterimAnswersAreDroppedUnseen)
{
    struct Case
    {
        const char *name;
        QByteArray wire;
        QByteArray status;
        QList<QByteArray> events;
    };
    const Case cases[] = {
        {"interim then final",
         "HTTP/1.1 100 Continue\r\nX-I: 1\r\n\r\nHTTP/1.0 200 OK\r\nA: b\r\n\r\nbody",
         "HTTP/1.0 200 OK",
         {"H[A|b]", "start"}},
        {"two interims",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early\r\nLink: x\r\n\r\nHTTP/1.1 404 No\r\n\r\n",
         "HTTP/1.1 404 No",
         {"start"}},
        {"an interim alone is no status line", "HTTP/1.1 103 Early\r\nLink: x\r\n\r\n", "", {}},
        {"a 1xx line without HTTP/ is final", "ICY 100 x\r\nA: b\r\n\r\n", "ICY 100 x", {"H[A|b]", "start"}},
    };
    for (const Case &c : cases) {
        for (int slice : {1, 5, 2048}) {
            Recorder recorder;
            HttpResponseParser parser(recorder);
            feedInSlices(c.wire, slice, parser);
            EXPECT_EQ(parser.statusLine(), c.status) << c.name << ", slice " << slice;
            EXPECT_EQ(parser.hasStatusLine(), !c.status.isEmpty()) << c.name << ", slice " << slice;
            EXPECT_EQ(recorder.events, c.events) << c.name << ", slice " << slice;
        }
    }
}

TEST(ResponseParsing, FramedBodiesEndWhereTheirFramingSays)
{
    using State = HttpResponseParser::State;
    struct Case
    {
        const char *name;
        QByteArray wire;
        bool bodiless; // the request was a HEAD
        QByteArray body;
        State state;
        bool reusable;
        QByteArray lastEvent;
    };
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const Case cases[] = {
        {"chunks in either case, extensions and trailers skipped",
         chunked + "5;name=value\r\nhello\r\na\r\n0123456789\r\nA \r\nABCDEFGHIJ\r\n0\r\nX-Sum: 1\r\nX-B: 2\r\n\r\n",
         false, "hello0123456789ABCDEFGHIJ", State::Complete, true, "ended"},
        {"chunked as the last of two codings",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n", false, "hi",
         State::Complete, true, "ended"},
        {"a size that is no hex number", chunked + "zz\r\n", false, "", State::Failed, false,
         "failed: chunk size is no hex number"},
        {"data longer than its size", chunked + "3\r\nabcd\r\n", false, "abc", State::Failed, false,
         "failed: chunk data longer than its size"},
        {"a size line without its LF", chunked + "3\rabc", false, "", State::Failed, false,
         "failed: chunk size line without its line end"},
        {"a size past any body", chunked + "1000000000000000\r\n", false, "", State::Failed, false,
         "failed: chunk size too large"},
        {"chunks cut short wait for the rest", chunked + "5\r\nhel", false, "hel", State::ChunkedBody, false, "start"},
        {"a length, kept by HTTP/1.1", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, "hello",
         State::Complete, true, "ended"},
        {"Connection: close", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nhi", false, "hi",
         State::Complete, false, "ended"},
        {"HTTP/1.0 without keep-alive", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi", false, "hi", State::Complete,
         false, "ended"},
        {"HTTP/1.0 with keep-alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nhi", false,
         "hi", State::Complete, true, "ended"},
        {"bytes past the length", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhiX", false, "hi", State::Complete,
         false, "ended"},
        {"a length cut short waits for the rest", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false, "abc",
         State::LengthBody, false, "start"},
        {"neither: the close ends the body", "HTTP/1.1 200 OK\r\n\r\nall of it", false, "all of it", State::Body, false,
         "start"},
        {"two different lengths are none", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc",
         false, "abc", State::Body, false, "start"},
        {"304 has no body whatever it announces", "HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n", false, "",
         State::Complete, true, "ended"},
        {"204 has no body", "HTTP/1.1 204 No Content\r\n\r\n", false, "", State::Complete, true, "ended"},
        {"the answer to a HEAD has no body", "HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n", true, "",
         State::Complete, true, "ended"},
    };
    for (const Case &c : cases) {
        for (int slice : {1, 3, 7, 2048}) {
            Recorder recorder;
            HttpResponseParser parser(recorder);
            parser.setFramed(c.bodiless);
            feedInSlices(c.wire, slice, parser);
            EXPECT_EQ(recorder.received, c.body) << c.name << ", slice " << slice;
            EXPECT_EQ(parser.state(), c.state) << c.name << ", slice " << slice;
            EXPECT_EQ(parser.reusable(), c.reusable) << c.name << ", slice " << slice;
            EXPECT_EQ(recorder.events.value(recorder.events.size() - 1), c.lastEvent) << c.name << ", slice " << slice;
        }
    }
}

TEST(ResponseParsing, StatusTextIsWhatFollowsTheFirstBlank)
{
    EXPECT_EQ(HttpResponseParser::statusText("HTTP/1.0 404 Not Found"), "404 Not Found");
    EXPECT_EQ(HttpResponseParser::statusText("HTTP/1.0  200"), " 200");
    EXPECT_EQ(HttpResponseParser::statusText("HTTP/1.0"), "");
    EXPECT_EQ(HttpResponseParser::statusText(""), "");
}

TEST(LineBuffer, ResetBringsBackLineSplitting)
{
    LineBuffer buffer;
    buffer.reset();
    buffer.setSplitLines(false);
    std::memcpy(buffer.freeSpace(), "abc", 3);
    buffer.commit(3);
    buffer.reset();
    EXPECT_TRUE(buffer.splitLines());
    EXPECT_EQ(buffer.held(), 0);
    EXPECT_EQ(buffer.freeSize(), LineBuffer::m_lenBuffer);
}

TEST(LineBuffer, CompactsSoAFullLineAlwaysFits)
{
    LineBuffer buffer;
    buffer.reset();
    const QByteArray first = "12345678\r\n";
    std::memcpy(buffer.freeSpace(), first.constData(), first.size());
    buffer.commit(first.size());
    const char *data = nullptr;
    int len = 0;
    ASSERT_TRUE(buffer.nextPiece(&data, &len));
    EXPECT_EQ(QByteArray(data, len), "12345678");
    EXPECT_EQ(buffer.consumed(), 10);
    ASSERT_NE(buffer.freeSpace(), nullptr);
    EXPECT_EQ(buffer.freeSize(), LineBuffer::m_lenBuffer);
}

} // namespace
