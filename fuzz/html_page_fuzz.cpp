// Any page, read whole and in slices: the signals and the fingerprint do not
// depend on how the bytes arrived.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "checks/htmlpagereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView page(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QByteArray url = QByteArrayLiteral("https://site.example/dir/page.html");

    checks::HtmlPageReader whole(url);
    whole.feed(page);
    whole.finish();

    checks::HtmlPageReader sliced(url);
    const qsizetype step = 1 + (size > 0 ? data[0] % 13 : 0);
    for (qsizetype at = 0; at < page.size(); at += step)
        sliced.feed(page.sliced(at, qMin(step, page.size() - at)));
    sliced.finish();

    if (whole.fingerprint() != sliced.fingerprint() || whole.fingerprint().isEmpty())
        std::abort();
    const checks::PageSignals &a = whole.pageSignals();
    const checks::PageSignals &b = sliced.pageSignals();
    if (a.noindexMeta != b.noindexMeta || a.canonical != b.canonical)
        std::abort();
    a.verdict(url);
    return 0;
}
