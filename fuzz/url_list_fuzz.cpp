// Any bytes as a URL list: what is kept must be a URL the checker accepts, once, and
// neither the slices the bytes arrive in nor anything else may change the outcome.
#include "project/readers/urllistparser.h"

#include <QSet>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "url_list_fuzz: %s\n", what);
        std::abort();
    }
}

UrlListParser parse(QByteArrayView bytes, qsizetype slice)
{
    UrlListParser parser;
    for (qsizetype at = 0; at < bytes.size(); at += slice)
        parser.feed(bytes.sliced(at, std::min(slice, bytes.size() - at)));
    parser.finish();
    return parser;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const UrlListParser whole = parse(bytes, std::max<qsizetype>(bytes.size(), 1));
    require(whole.consumed() == bytes.size(), "not every byte consumed");

    const QStringList &urls = whole.urls();
    require(QSet<QString>(urls.cbegin(), urls.cend()).size() == urls.size(), "a URL kept twice");
    for (const QString &url : urls) {
        require(!UrlListParser::checkLine(url), "a URL kept that the checker refuses");
        require(url == url.trimmed() && !url.startsWith(u'#'), "a URL kept untrimmed or a comment");
        require(url.toUtf8().size() <= UrlListParser::MaxUrlBytes, "a URL kept longer than the column");
    }

    const qsizetype lineEnds = bytes.count('\n') + bytes.count('\r');
    qint64 previous = 0;
    require(whole.warnings().size() <= UrlListParser::MaxWarnings, "more warnings kept than the limit");
    require(whole.skippedLines() >= whole.warnings().size(), "fewer skipped lines than warnings");
    for (const UrlListWarning &warning : whole.warnings()) {
        require(warning.line > previous && warning.line <= lineEnds + 1, "warning line out of order or range");
        previous = warning.line;
        require(warning.excerpt.size() <= UrlListParser::ExcerptLength + 3, "excerpt too long");
        for (const QChar c : warning.excerpt)
            require(c.category() != QChar::Other_Control, "control character in an excerpt");
        require(!warning.text().isEmpty(), "empty warning text");
    }

    // The slice length comes from the input, so the fuzzer explores the splits too.
    const qsizetype slice = size > 0 ? data[0] % 19 + 1 : 1;
    const UrlListParser sliced = parse(bytes, slice);
    require(sliced.urls() == urls, "slices changed the URLs");
    require(sliced.skippedLines() == whole.skippedLines(), "slices changed the skipped lines");
    require(sliced.warnings().size() == whole.warnings().size(), "slices changed the warnings");
    for (qsizetype i = 0; i < whole.warnings().size(); ++i)
        require(sliced.warnings()[i].text() == whole.warnings()[i].text(), "slices changed a warning");
    return 0;
}
