#include "project/sitemapreader.h"

#include "project/urllistparser.h"

#include <zlib.h>

namespace {

constexpr QLatin1StringView SitemapNamespace("http://www.sitemaps.org/schemas/sitemap/0.9");
constexpr int InflateSlice = 64 * 1024;

// The start of a refused <loc> as a message can show it: short, one line,
// nothing that moves the cursor or turns the text around.
QString excerptOf(const QString &text)
{
    qsizetype length = std::min<qsizetype>(text.size(), SitemapReader::ExcerptLength);
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    QString excerpt = text.left(length);
    for (QChar &c : excerpt) {
        if ((c.isSpace() && c != u' ') || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u'?';
    }
    if (length < text.size())
        excerpt += QStringLiteral("...");
    return excerpt;
}

} // namespace

SitemapReader::SitemapReader(QString name) : m_name(std::move(name)), m_zip(std::make_unique<z_stream>())
{}

SitemapReader::~SitemapReader()
{
    if (m_zipOpen)
        inflateEnd(m_zip.get());
}

void SitemapReader::feed(QByteArrayView bytes)
{
    m_consumed += bytes.size();
    qsizetype at = 0;
    while (at < bytes.size() && !failed()) {
        switch (m_layer) {
        case Layer::Sniff:
            if (m_head.isEmpty() && bytes[at] == '\x1f') {
                m_head += bytes[at++];
                break;
            }
            if (!m_head.isEmpty() && bytes[at] == '\x8b') {
                m_zipOpen = inflateInit2(m_zip.get(), 16 + MAX_WBITS) == Z_OK;
                if (!m_zipOpen) {
                    fail(Failure::BrokenGzip, QStringLiteral("%1: no memory to inflate the file").arg(m_name));
                    break;
                }
                m_layer = Layer::Gzip;
                inflate(m_head); // zlib checks the magic bytes itself
            } else {
                m_layer = Layer::Plain;
                parse(m_head);
            }
            m_head.clear();
            break;
        case Layer::Plain:
            parse(bytes.sliced(at));
            at = bytes.size();
            break;
        case Layer::Gzip: {
            // zlib counts in 32 bits.
            const QByteArrayView piece = bytes.sliced(at).first(std::min<qsizetype>(bytes.size() - at, 1 << 30));
            inflate(piece);
            at += piece.size() - m_zip->avail_in;
            break;
        }
        case Layer::GzipEnd:
            inflateReset(m_zip.get());
            m_layer = Layer::Gzip;
            break;
        case Layer::Stopped:
            at = bytes.size();
            break;
        }
    }
}

void SitemapReader::finish()
{
    if (m_layer == Layer::Sniff)
        parse(m_head);
    else if (m_layer == Layer::Gzip && !failed())
        fail(Failure::BrokenGzip, QStringLiteral("%1: the compressed data ends early").arg(m_name));
    if (!failed() && !m_pending.isEmpty()) {
        m_xml.addData(std::exchange(m_pending, {}));
        readTokens();
    }
    if (!failed() && m_place != Place::After) {
        if (m_xmlBytes == 0)
            fail(Failure::NotWellFormed, QStringLiteral("%1: the file is empty").arg(m_name));
        else
            fail(Failure::NotWellFormed, QStringLiteral("%1, line %2, column %3: Premature end of document.")
                                             .arg(m_name)
                                             .arg(m_xml.lineNumber())
                                             .arg(m_xml.columnNumber()));
    }
    m_layer = Layer::Stopped;
    if (m_zipOpen)
        inflateEnd(m_zip.get());
    m_zipOpen = false;
}

// Leaves avail_in at the bytes not taken: those after the end of a member.
void SitemapReader::inflate(QByteArrayView bytes)
{
    z_stream &zip = *m_zip;
    zip.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    zip.avail_in = uInt(bytes.size());
    char out[InflateSlice];
    do {
        zip.next_out = reinterpret_cast<Bytef *>(out);
        zip.avail_out = sizeof out;
        const int result = ::inflate(&zip, Z_NO_FLUSH);
        parse(QByteArrayView(out, qsizetype(sizeof out - zip.avail_out)));
        if (failed())
            return;
        if (result == Z_STREAM_END) {
            m_layer = Layer::GzipEnd;
            return;
        }
        if (result == Z_BUF_ERROR) // no progress possible before more input
            return;
        if (result != Z_OK) {
            fail(Failure::BrokenGzip, QStringLiteral("%1: the compressed data is damaged (%2)")
                                          .arg(m_name, QString::fromLatin1(zip.msg ? zip.msg : "inflate failed")));
            return;
        }
    } while (zip.avail_in > 0 || zip.avail_out == 0);
}

void SitemapReader::parse(QByteArrayView xml)
{
    if (failed() || xml.isEmpty())
        return;
    // The parser sees the limit's worth and no more, so what fails before the
    // limit fails the same way whatever the slices.
    const bool over = xml.size() > MaxBytes - m_xmlBytes;
    const QByteArrayView taken = over ? xml.first(MaxBytes - m_xmlBytes) : xml;
    m_xmlBytes += taken.size();
    m_pending += taken;
    giveParser();
    if (over && !failed())
        fail(Failure::TooLarge,
             QStringLiteral("%1: more than %2 MiB of XML; a sitemap holds at most %2 MiB uncompressed")
                 .arg(m_name)
                 .arg(MaxBytes / (1024 * 1024)));
}

// Gives the parser every whole block of m_pending. A block ends at the next
// multiple of XmlBlock, or, when a comment, processing instruction or CDATA
// section is open there, where that closes: the parser would scan it again from
// its start for every block it spans. Where the blocks end depends on the
// bytes alone, never on the slices.
void SitemapReader::giveParser()
{
    qsizetype start = 0; // m_pending[0, start) is given; dropped once, at the end, as one slice may hold many blocks
    while (!failed()) {
        const qsizetype boundary = start + qsizetype(m_nextCut - m_given);
        if (boundary > m_pending.size()) {
            m_scanned = m_scanner.scan(m_pending, m_scanned, m_pending.size(), false);
            break;
        }
        m_scanned = m_scanner.scan(m_pending, m_scanned, boundary, false);
        if (m_scanned < boundary)
            break;
        qsizetype cut = boundary;
        if (!m_scanner.outside()) {
            m_scanned = cut = m_scanner.scan(m_pending, m_scanned, m_pending.size(), true);
            if (!m_scanner.outside())
                break;
        }
        m_xml.addData(start == 0 && cut == m_pending.size() ? m_pending : m_pending.sliced(start, cut - start));
        m_given += cut - start;
        start = cut;
        m_nextCut = (m_given / XmlBlock + 1) * XmlBlock;
        readTokens();
    }
    if (failed())
        return;
    m_pending.remove(0, start);
    m_scanned -= start;
}

void SitemapReader::readTokens()
{
    while (!failed()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::Invalid:
            if (m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
                fail(Failure::NotWellFormed, QStringLiteral("%1, line %2, column %3: %4")
                                                 .arg(m_name)
                                                 .arg(m_xml.lineNumber())
                                                 .arg(m_xml.columnNumber())
                                                 .arg(m_xml.errorString()));
            return;
        case QXmlStreamReader::StartElement:
            startElement();
            break;
        case QXmlStreamReader::EndElement:
            endElement();
            break;
        case QXmlStreamReader::Characters:
            if (m_place == Place::Field)
                (m_inLoc ? m_loc : m_lastmod) += m_xml.text();
            break;
        default:
            break;
        }
    }
}

bool SitemapReader::counts() const
{
    const QStringView space = m_xml.namespaceUri();
    return space.isEmpty() || space == SitemapNamespace;
}

void SitemapReader::startElement()
{
    const QStringView name = m_xml.name();
    switch (m_place) {
    case Place::Prolog:
        if (counts() && name == u"urlset")
            m_kind = Kind::UrlSet;
        else if (counts() && name == u"sitemapindex")
            m_kind = Kind::Index;
        else
            return fail(Failure::NotASitemap,
                        QStringLiteral("%1, line %2: the root element is <%3>, not <urlset> or <sitemapindex>")
                            .arg(m_name)
                            .arg(m_xml.lineNumber())
                            .arg(m_xml.qualifiedName()));
        m_place = Place::Root;
        return;
    case Place::Root:
        if (counts() && name == (m_kind == Kind::UrlSet ? u"url" : u"sitemap")) {
            if (++m_items > MaxUrls)
                return fail(Failure::TooManyUrls,
                            QStringLiteral("%1: more than %2 %3; a sitemap lists at most %2")
                                .arg(m_name)
                                .arg(MaxUrls)
                                .arg(m_kind == Kind::UrlSet ? QStringLiteral("URLs") : QStringLiteral("sitemaps")));
            m_place = Place::Item;
            m_hasLoc = m_hasLastmod = false;
            m_loc.clear();
            m_lastmod.clear();
            m_itemLine = m_xml.lineNumber();
            return;
        }
        break;
    case Place::Item:
        if (counts() && name == u"loc" && !m_hasLoc) {
            m_place = Place::Field;
            m_inLoc = m_hasLoc = true;
            m_locLine = m_xml.lineNumber();
            return;
        }
        if (counts() && name == u"lastmod" && !m_hasLastmod) {
            m_place = Place::Field;
            m_inLoc = false;
            m_hasLastmod = true;
            return;
        }
        break;
    case Place::Skipped:
        ++m_skippedDepth;
        return;
    case Place::Field:
    case Place::After: // the parser refuses a second root before it gets here
        break;
    }
    m_skipFrom = m_place;
    m_place = Place::Skipped;
    m_skippedDepth = 1;
}

void SitemapReader::endElement()
{
    switch (m_place) {
    case Place::Skipped:
        if (--m_skippedDepth == 0)
            m_place = m_skipFrom;
        return;
    case Place::Field:
        m_place = Place::Item;
        return;
    case Place::Item:
        endItem();
        m_place = Place::Root;
        return;
    case Place::Root:
        m_place = Place::After;
        return;
    case Place::Prolog:
    case Place::After:
        return;
    }
}

void SitemapReader::endItem()
{
    const QString loc = std::move(m_loc).trimmed();
    if (loc.isEmpty())
        return warn(m_hasLoc ? m_locLine : m_itemLine, m_kind == Kind::UrlSet
                                                           ? QStringLiteral("a <url> without a <loc>")
                                                           : QStringLiteral("a <sitemap> without a <loc>"));
    if (const std::optional<UrlLineProblem> problem = UrlListParser::checkLine(loc))
        return warn(m_locLine, QStringLiteral("%1: \"%2\"").arg(urlLineProblemText(*problem), excerptOf(loc)));
    if (m_seen.insert(loc).second)
        m_entries.append({loc, std::move(m_lastmod).trimmed(), m_locLine});
}

void SitemapReader::fail(Failure failure, const QString &text)
{
    m_failure = failure;
    m_error = text;
    m_layer = Layer::Stopped;
    m_pending.clear();
    m_entries.clear();
    m_seen.clear();
}

void SitemapReader::warn(qint64 line, const QString &reason)
{
    ++m_skipped;
    if (m_warnings.size() < MaxWarnings)
        m_warnings.append({m_name, line, reason});
}
