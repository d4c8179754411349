#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

#include "checks/markupguard.h"
#include "checks/pagedecoder.h"
#include "checks/pagefingerprint.h"
#include "checks/pagesignals.h"

namespace checks {

// Reads an HTML page as it streams in, with libxml2's HTML parser in push
// mode: the signals (meta robots, the canonical link) go into a PageSignals,
// everything the content hash takes into a PageFingerprint. The page is never
// held whole: the parser keeps what an unfinished tag needs, and the reader a
// few small values. Broken HTML is read as a browser would repair it; the
// parser never reaches the network and never prints.
//
// A canonical link counts only before the page's <body> (where crawlers look
// for it), and a <base href> before it changes what it is resolved against.
//
// The page's encoding is the PageDecoder's to decide, never the parser's, and
// its markup passes a MarkupGuard before the parser sees it: the parser's work
// grows with the page's bytes and no faster, and is done while the page
// arrives, inside the fetch's timeout and its stop. A page that cannot be read
// within those bounds could not be read: pageSignals().unreadable says why,
// the fingerprint is "", and nothing more of it is parsed.
class HtmlPageReader
{
public:
    // pageUrl: the final address, that relative links are resolved against;
    // contentType: the page's Content-Type header, whose charset counts;
    // scope: what of the page the fingerprint takes.
    explicit HtmlPageReader(const QByteArray &pageUrl, QByteArrayView contentType = {},
                            ContentScope scope = ContentScope::Page);
    ~HtmlPageReader();
    HtmlPageReader(const HtmlPageReader &) = delete;
    HtmlPageReader &operator=(const HtmlPageReader &) = delete;

    // Starts another page, as a new reader would, keeping the parser: a
    // check reads thousands of pages, and making a parser for each costs more
    // than resetting one.
    void restart(const QByteArray &pageUrl, QByteArrayView contentType = {}, ContentScope scope = ContentScope::Page);

    void feed(QByteArrayView piece);
    // Ends the page; then signals() and fingerprint() hold the whole page's.
    void finish();

    // What the HTML said (the header signals are the caller's to add).
    const PageSignals &pageSignals() const { return m_signals; }
    // The content hash with its rule ("v2:<hex>"); "" before finish() and for
    // a page that could not be read.
    QByteArray fingerprint() const { return m_fingerprintResult; }

private:
    struct Parser;
    friend struct Parser;

    void startElement(QByteArrayView name, const unsigned char **attributes);
    void endElement(QByteArrayView name);
    void characters(QByteArrayView text);
    // Decoded text on its way to the parser, through the guard.
    void parse(QByteArrayView text);
    // Text within bounds to the parser, in blocks of BlockSize.
    void feedParser(QByteArrayView piece);
    void giveUp(const QString &why);
    // Calls hash(fingerprint) for every fingerprint that takes what is read now.
    template <typename Hash> void hashInto(Hash &&hash);

    // With ContentScope::Main, the parts of the page that may be its main
    // content, each hashed on its own while it is open: the body, the <main>
    // elements, the <article>s, the elements with role="main". finish() takes
    // the first of main, article, role and body that the page has.
    enum RegionKind { BodyRegion, MainRegion, ArticleRegion, RoleRegion, RegionCount };
    struct Region
    {
        PageFingerprint hash;
        int openedAt = -1; // the depth of the element that opened it; -1 while closed
        bool seen = false;
    };

    QByteArray m_base;
    PageSignals m_signals;
    PageFingerprint m_fingerprint; // the whole page's, with ContentScope::Page
    ContentScope m_scope = ContentScope::Page;
    std::unique_ptr<Region[]> m_regions; // made when a page is first read with ContentScope::Main
    int m_depth = 0;                     // elements open
    QByteArray m_fingerprintResult;
    PageDecoder m_decoder;
    MarkupGuard m_guard;
    QByteArray m_decoded; // the decoder's output for the piece under way
    std::unique_ptr<Parser> m_parser;
    int m_skipDepth = 0; // inside <script> or <style>
    bool m_inBody = false;
    bool m_finished = false;
    // The bytes not yet given to the parser: it takes blocks of BlockSize.
    static constexpr qsizetype BlockSize = 16 * 1024;
    QByteArray m_pending;
};

// A whole page already in memory, read in one go.
struct PageReading
{
    PageSignals pageSignals;
    QByteArray fingerprint;
};
PageReading readHtmlPage(const QByteArray &pageUrl, QByteArrayView page, QByteArrayView contentType = {},
                         ContentScope scope = ContentScope::Page);

} // namespace checks
