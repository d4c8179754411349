// Any text decoded; and any text encoded and decoded again comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/urlcodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    TURLCodec codec;
    bool failed = false;
    codec.OnError = [&](TURLCodec *, const QString &operation, const QString &) {
        if (operation != QLatin1String("Error during decode"))
            std::abort();
        failed = true;
    };
    codec.setInputString(input);
    const QByteArray decoded = codec.Decode();
    if (failed ? decoded != input : decoded.size() > input.size())
        std::abort();

    failed = false;
    const QByteArray encoded = codec.Encode();
    if (failed)
        std::abort();
    for (char c : encoded) {
        const bool allowed =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '+' || c == '%';
        if (!allowed)
            std::abort();
    }
    codec.setInputString(encoded);
    if (codec.Decode() != input || failed)
        std::abort();
    return 0;
}
