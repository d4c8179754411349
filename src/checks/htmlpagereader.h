#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

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
class HtmlPageReader
{
public:
    // pageUrl: the final address, that relative links are resolved against.
    explicit HtmlPageReader(const QByteArray &pageUrl);
    ~HtmlPageReader();
    HtmlPageReader(const HtmlPageReader &) = delete;
    HtmlPageReader &operator=(const HtmlPageReader &) = delete;

    // Starts another page, as a new reader would, keeping the parser: a
    // check reads thousands of pages, and making a parser for each costs more
    // than resetting one.
    void restart(const QByteArray &pageUrl);

    void feed(QByteArrayView piece);
    // Ends the page; then signals() and fingerprint() hold the whole page's.
    void finish();

    // What the HTML said (the header signals are the caller's to add).
    const PageSignals &pageSignals() const { return m_signals; }
    // The content hash; "" before finish().
    QByteArray fingerprint() const { return m_fingerprintResult; }

private:
    struct Parser;
    friend struct Parser;

    void startElement(QByteArrayView name, const unsigned char **attributes);
    void endElement(QByteArrayView name);
    void characters(QByteArrayView text);

    QByteArray m_base;
    PageSignals m_signals;
    PageFingerprint m_fingerprint;
    QByteArray m_fingerprintResult;
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
PageReading readHtmlPage(const QByteArray &pageUrl, QByteArrayView page);

} // namespace checks
