// Any bytes, fed in slices of any size through the line buffer into the
// response state machine, exactly as the connection hands them on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net/httpresponse.h"
#include "net/linebuf.h"

namespace {

class CheckingSink : public HttpResponseSink
{
public:
    const HttpResponseParser *parser = nullptr;
    qint64 bodyBytes = 0;
    bool started = false;

    // Interim answers are dropped: every header belongs to the final answer.
    void header(const QByteArray &, const QByteArray &) override
    {
        if (started || !parser->hasStatusLine() || HttpResponseParser::isInterim(parser->statusLine()))
            std::abort();
    }
    void startTransfer() override
    {
        if (started)
            std::abort();
        started = true;
    }
    void body(const char *data, int len, qint64 bodyCount) override
    {
        if (!started || len < 0 || len > LineBuffer::m_lenBuffer)
            std::abort();
        volatile char touch = len > 0 ? data[len - 1] : 0;
        (void)touch;
        bodyBytes += len;
        if (bodyCount != bodyBytes)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes choose the slice sizes; the rest is the wire.
    const size_t sliceA = 1 + data[0] % 97;
    const size_t sliceB = 1 + static_cast<size_t>(data[1]) * 13;
    const char *wire = reinterpret_cast<const char *>(data + 2);
    const size_t wireSize = size - 2;

    CheckingSink sink;
    HttpResponseParser parser(sink);
    sink.parser = &parser;
    LineBuffer buffer;
    buffer.reset();
    qint64 handedOn = 0;
    auto handOn = [&](bool atEnd) {
        const char *piece = nullptr;
        int len = 0;
        while (atEnd ? buffer.nextPieceAtEnd(&piece, &len) : buffer.nextPiece(&piece, &len)) {
            if (len < 0 || len > LineBuffer::m_lenBuffer)
                std::abort();
            handedOn += len;
            parser.feed(piece, len);
            buffer.setSplitLines(parser.wantsLines());
        }
    };
    size_t offset = 0;
    bool odd = false;
    while (offset < wireSize) {
        handOn(false);
        size_t n = odd ? sliceA : sliceB;
        odd = !odd;
        n = std::min({n, wireSize - offset, static_cast<size_t>(buffer.freeSize())});
        std::memcpy(buffer.freeSpace(), wire + offset, n);
        buffer.commit(static_cast<int>(n));
        offset += n;
    }
    handOn(false);
    handOn(true);
    if (buffer.held() != 0 || buffer.consumed() != static_cast<qint64>(wireSize) || parser.consumed() != handedOn ||
        parser.statusLine().size() > HttpResponseParser::maxStatusLine)
        std::abort();
    return 0;
}
