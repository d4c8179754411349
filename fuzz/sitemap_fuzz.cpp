// Any bytes as a sitemap, plain or gzip: nothing the reader keeps may break its
// limits or the URL check, and the slices the bytes arrive in must not change
// the outcome. A first byte with its high bit set has the harness compress the
// rest, so the fuzzer reaches the XML behind inflate as well as broken gzip data.
#include "project/readers/sitemapreader.h"
#include "project/readers/urllistparser.h"

#include <QSet>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <zlib.h>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "sitemap_fuzz: %s\n", what);
        std::abort();
    }
}

QByteArray gzip(QByteArrayView bytes)
{
    z_stream zip{};
    require(deflateInit2(&zip, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
    QByteArray out(qsizetype(deflateBound(&zip, uLong(bytes.size()))), Qt::Uninitialized);
    zip.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    zip.avail_in = uInt(bytes.size());
    zip.next_out = reinterpret_cast<Bytef *>(out.data());
    zip.avail_out = uInt(out.size());
    require(deflate(&zip, Z_FINISH) == Z_STREAM_END, "deflate");
    out.truncate(qsizetype(zip.total_out));
    deflateEnd(&zip);
    return out;
}

struct Outcome
{
    SitemapReader::Kind kind;
    QString error;
    QList<SitemapEntry> entries;
    QList<SitemapWarning> warnings;
    qint64 skipped;
    qint64 consumed;
    qint64 xmlBytes;
    bool operator==(const Outcome &) const = default;
};

Outcome read(QByteArrayView bytes, qsizetype slice)
{
    SitemapReader reader(QStringLiteral("fuzz.xml"));
    for (qsizetype at = 0; at < bytes.size(); at += slice)
        reader.feed(bytes.sliced(at, std::min(slice, bytes.size() - at)));
    reader.finish();
    require(reader.failed() == !reader.errorText().isEmpty(), "failure and error text disagree");
    return {reader.kind(),    reader.errorText(), reader.entries(), reader.warnings(),
            reader.skipped(), reader.consumed(),  reader.xmlBytes()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView raw(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
    const QByteArray packed = data[0] & 0x80 ? gzip(raw) : QByteArray();
    const QByteArrayView bytes = data[0] & 0x80 ? QByteArrayView(packed) : raw;

    const Outcome whole = read(bytes, std::max<qsizetype>(bytes.size(), 1));
    require(whole.consumed == bytes.size(), "not every byte counted");
    require(whole.xmlBytes <= SitemapReader::MaxBytes, "more XML parsed than the limit");
    require(whole.entries.size() <= SitemapReader::MaxUrls, "more entries than the limit");
    require(whole.error.isEmpty() || whole.entries.isEmpty(), "entries kept despite a failure");
    require(whole.warnings.size() <= SitemapReader::MaxWarnings, "more warnings kept than the limit");
    require(whole.skipped >= whole.warnings.size(), "fewer skipped than warnings");

    QSet<QString> urls;
    for (const SitemapEntry &entry : whole.entries) {
        require(!UrlListParser::checkLine(entry.url), "an entry the URL check refuses");
        require(entry.url == entry.url.trimmed() && entry.lastmod == entry.lastmod.trimmed(), "an untrimmed entry");
        require(entry.line >= 1, "an entry without a line");
        urls.insert(entry.url);
    }
    require(urls.size() == whole.entries.size(), "a URL kept twice");
    for (const SitemapWarning &warning : whole.warnings) {
        require(warning.line >= 1, "a warning without a line");
        for (const QChar c : warning.reason)
            require(c.category() != QChar::Other_Control, "control character in a warning");
    }

    // How much XML was parsed before a failure depends on where the slice ended.
    const qsizetype slice = data[0] % 19 + 1;
    Outcome sliced = read(bytes, slice);
    if (!whole.error.isEmpty())
        sliced.xmlBytes = whole.xmlBytes;
    require(sliced == whole, "slices changed the outcome");
    return 0;
}
