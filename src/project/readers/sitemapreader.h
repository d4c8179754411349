#pragma once

#include "project/readers/entryurlindex.h"
#include "project/readers/sitemapentry.h"
#include "project/readers/xmlscanner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

struct z_stream_s;

// Reads one sitemap file, a <urlset> or a <sitemapindex>, fed its bytes in
// slices of any size; where the slices split never changes the result.
//
// Input that begins with the gzip magic bytes is inflated as it arrives
// (several gzip members follow one another); anything else is XML, in the
// encoding its declaration names. Elements count when they are in the sitemap
// namespace or in none; others (images, alternates) are passed over. Of each
// <url> (or <sitemap>) the first <loc> and <lastmod> are taken and trimmed,
// entities and character references decoded. A <loc> that
// UrlListParser::checkLine() refuses, or a missing one, is passed over with a
// warning naming its line; a URL seen before in the file is passed over
// silently, so its first entry stands.
//
// The reader fails, and then keeps no entries, when the document is not
// well-formed (the error names line and column), its root is neither <urlset>
// nor <sitemapindex>, it lists more than MaxUrls entries, its XML is longer
// than MaxBytes once inflated, or the gzip data is broken. Memory stays
// bounded by the entries kept and a constant (see XmlScanner): the input is
// inflated and parsed slice by slice, and the inflated size is counted before
// any of it is parsed. The time taken grows with the input's length, whatever
// its tokens and slices.
class SitemapReader : private XmlScanner::Handler
{
public:
    static constexpr qint64 MaxUrls = 50000;
    static constexpr qint64 MaxBytes = 50 * 1024 * 1024;
    static constexpr int MaxWarnings = 100;
    static constexpr int ExcerptLength = 60;
    static constexpr int MaxFieldBytes = 1024; // of a <loc> or <lastmod>, not counting blanks around it

    enum class Kind {
        Unknown, // no root element read yet
        UrlSet,  // <urlset>: entries are pages
        Index,   // <sitemapindex>: entries are sitemaps
    };
    enum class Failure {
        None,
        NotWellFormed, // the XML scanner's message, with line and column
        NotASitemap,   // well-formed, but the root is something else
        TooManyUrls,   // more than MaxUrls entries
        TooLarge,      // more than MaxBytes of XML
        BrokenGzip,    // the compressed data is damaged or ends early
    };

    // name is what messages call the file: a path or a URL.
    explicit SitemapReader(QString name = QStringLiteral("sitemap"));
    ~SitemapReader() override;
    SitemapReader(const SitemapReader &) = delete;
    SitemapReader &operator=(const SitemapReader &) = delete;

    // Takes the next bytes. After a failure bytes are counted and ignored.
    void feed(QByteArrayView bytes);
    // The input ended: a document not closed by then fails. Nothing may be fed afterwards.
    void finish();

    QString name() const { return m_name; }
    Kind kind() const { return m_kind; }
    bool failed() const { return m_failure != Failure::None; }
    Failure failure() const { return m_failure; }
    // "" unless failed; e.g. "sitemap.xml, line 12, column 7: Opening and ending tag mismatch."
    // or "sitemap.xml: more than 50000 URLs; a sitemap lists at most 50000".
    QString errorText() const { return m_error; }

    // In document order; always empty after a failure.
    const QList<SitemapEntry> &entries() const { return m_entries; }
    QList<SitemapEntry> takeEntries()
    {
        m_seen.clear(); // it points into m_entries
        return std::exchange(m_entries, {});
    }
    // The first MaxWarnings warnings; skipped() counts them all.
    const QList<SitemapWarning> &warnings() const { return m_warnings; }
    qint64 skipped() const { return m_skipped; }

    qint64 consumed() const { return m_consumed; }
    // The bytes of XML taken: after inflating, when the input was compressed.
    // After a failure, up to the end of the slice that failed.
    qint64 xmlBytes() const { return m_xmlBytes; }

private:
    enum class Layer {
        Sniff,   // fewer than two bytes seen: compressed or plain is not known yet
        Plain,   // bytes go to the XML scanner as they are
        Gzip,    // inside a gzip member: bytes go through inflate
        GzipEnd, // a gzip member ended: a further byte starts the next one
        Stopped, // failed, or the input ended: bytes are only counted
    };
    // Where the document's reading stands.
    enum class Place {
        Prolog,  // before the root element
        Root,    // directly inside <urlset> or <sitemapindex>
        Item,    // inside one <url> or <sitemap>
        Field,   // inside the <loc> or <lastmod> being taken
        Skipped, // inside an element that does not count, skippedDepth levels down
        After,   // the root element is closed
    };

    void inflate(QByteArrayView bytes);
    void parse(QByteArrayView xml);
    void startElement(XmlScanner::Space space, QByteArrayView name, QByteArrayView qualifiedName) override;
    void endElement() override;
    void text(QByteArrayView utf8) override;
    void appendToField(QByteArrayView utf8);
    void endItem();
    void failXml();
    void fail(Failure failure, const QString &text);
    void warn(qint64 line, const QString &reason);

    QString m_name;
    Layer m_layer = Layer::Sniff;
    QByteArray m_head; // the first byte while sniffing
    std::unique_ptr<z_stream_s> m_zip;
    bool m_zipOpen = false;
    XmlScanner m_xml;

    Kind m_kind = Kind::Unknown;
    Place m_place = Place::Prolog;
    Place m_skipFrom = Place::Root; // where a Skipped element began
    int m_skippedDepth = 0;
    bool m_inLoc = false; // the Field being taken is <loc>, not <lastmod>
    bool m_hasLoc = false;
    bool m_hasLastmod = false;
    QByteArray m_loc; // UTF-8, blanks before it dropped
    QByteArray m_lastmod;
    QByteArray m_blanks; // blanks read after the field's text so far: kept only if more text follows
    bool m_cut = false;  // the field being taken reached MaxFieldBytes
    qint64 m_itemLine = 0;
    qint64 m_locLine = 0;
    qint64 m_items = 0;

    Failure m_failure = Failure::None;
    QString m_error;
    QList<SitemapEntry> m_entries;
    EntryUrlIndex m_seen; // the URLs of m_entries
    QList<SitemapWarning> m_warnings;
    qint64 m_skipped = 0;
    qint64 m_consumed = 0;
    qint64 m_xmlBytes = 0;
};
