// Any page under any of a few Content-Type headers, for the whole page or its
// main content, read whole and in slices:
// the encoding decided, the signals, the fingerprint and whether the page could
// be read at all do not depend on how the bytes arrived.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "checks/htmlpagereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the header and the slicing; the rest is the page.
    static const char *const contentTypes[] = {
        "",
        "text/html",
        "text/html; charset=utf-16",
        "text/html; charset=UTF-16BE",
        "text/html; charset=utf-32",
        "text/html; charset=shift_jis",
        "text/html; charset=iso-2022-jp",
        "text/html; charset=cp037",
    };
    const QByteArrayView contentType(contentTypes[data[0] % std::size(contentTypes)]);
    const qsizetype step = 1 + data[0] / std::size(contentTypes) % 13;
    const checks::ContentScope scope =
        data[0] / (std::size(contentTypes) * 13) % 2 ? checks::ContentScope::Main : checks::ContentScope::Page;
    const QByteArrayView page(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    const QByteArray url = QByteArrayLiteral("https://site.example/dir/page.html");

    checks::HtmlPageReader whole(url, contentType, scope);
    whole.feed(page);
    whole.finish();

    checks::HtmlPageReader sliced(url, contentType, scope);
    for (qsizetype at = 0; at < page.size(); at += step)
        sliced.feed(page.sliced(at, qMin(step, page.size() - at)));
    sliced.finish();

    const checks::PageSignals &a = whole.pageSignals();
    const checks::PageSignals &b = sliced.pageSignals();
    if (whole.fingerprint() != sliced.fingerprint() || whole.fingerprint().isEmpty() != !a.unreadable.isEmpty())
        std::abort();
    if (a.noindexMeta != b.noindexMeta || a.canonical != b.canonical || a.unreadable != b.unreadable)
        std::abort();
    a.verdict(url);
    return 0;
}
