// Any bytes as a proxy's answer to CONNECT, fed in slices of any size: the
// parser never takes a byte past the empty line and never keeps more of the
// status line than its limit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/proxyanswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the slice size; the rest is the wire.
    const int slice = 1 + data[0] % 61;
    const char *wire = reinterpret_cast<const char *>(data + 1);
    const int wireSize = static_cast<int>(size - 1);

    ProxyAnswerParser parser;
    int offset = 0;
    while (offset < wireSize) {
        const int n = std::min(slice, wireSize - offset);
        const int taken = parser.feed(wire + offset, n);
        if (taken < 0 || taken > n || (taken < n && !parser.done()))
            std::abort();
        offset += taken;
        if (parser.done())
            break;
    }
    if (parser.consumed() != offset || parser.statusLine().size() > ProxyAnswerParser::maxStatusLine)
        std::abort();
    // The byte it stopped after ends the empty line.
    if (parser.done() && (offset == 0 || wire[offset - 1] != '\n' || parser.feed(wire, wireSize) != 0))
        std::abort();
    const int code = parser.statusCode();
    if (code < 0 || code > 999)
        std::abort();
    return 0;
}
