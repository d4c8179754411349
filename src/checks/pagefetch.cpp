#include "checks/pagefetch.h"

#include <limits>

#include "checks/htmlpagereader.h"
#include "net/fetch.h"
#include "net/httpclient.h"
#include "net/linebuf.h"
#include "net/redirectchain.h"

namespace checks {

namespace {

bool printable(const QByteArray &value)
{
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

bool namesHtml(const QByteArray &contentType)
{
    const QByteArray type = contentType.trimmed().toLower();
    return type.isEmpty() || type.contains("html");
}

bool is2xx(int code)
{
    return code >= 200 && code <= 299;
}

// Header values kept from one answer; a hostile server's flood of headers is capped.
constexpr qsizetype maxHeaderValue = 4096;
// An X-Robots-Tag longer than this could not be read: cutting it might cut off its noindex.
constexpr qsizetype maxRobotsHeader = 64 * 1024;

// The client hands a header line longer than its line buffer on in pieces, the
// first filling the buffer whole; a line that fits is shorter by its CR LF.
// The size of the piece given as field and value, at least (the client drops
// one blank after the colon).
bool fillsLineBuffer(const QByteArray &field, const QByteArray &value)
{
    const qsizetype size = field.isEmpty()   ? 1 + value.size()
                           : value.isEmpty() ? field.size()
                                             : field.size() + 1 + value.size();
    return size >= LineBuffer::m_lenBuffer - 1;
}

// One page's fetch: the answer's headers and body as net::Fetch tells them.
class PageFetchRun
{
public:
    PageFetchRun(THTTPClient &http, HtmlPageReader &reader, QByteArray &held, const PageFetchRequest &request)
        : m_http(http), m_reader(reader), m_held(held), m_request(request)
    {}

    PageFetchResult run();

private:
    // What the body of the answer under way goes through.
    enum class Sink { None, Html, Bytes };

    void startAnswer();
    void header(const QByteArray &field, const QByteArray &value);
    // The header under way is whole: an X-Robots-Tag's directives count.
    void endHeader();
    void startBody();
    void takeBody(QByteArrayView piece);
    // Ends the body's reading: the fingerprint, the HTML's signals beside the headers'.
    QByteArray finishBody();
    // The held body to the reader: it is read as usual from here on.
    void parseHeld();
    // A hash as a stored fingerprint: with the rule that made it.
    QByteArray withRule(const QByteArray &hash) const
    {
        return hash.isEmpty() ? hash : fingerprintRule(m_request.scope) + ':' + hash;
    }

    THTTPClient &m_http;
    HtmlPageReader &m_reader;
    QByteArray &m_held;
    const PageFetchRequest &m_request;

    // The answer under way: after the fetch, the final one's.
    QByteArray m_contentType, m_etag, m_lastModified, m_retryAfter;
    PageSignals m_headerSignals;
    // The header line under way, which a folded line or a cut piece continues:
    // where its value goes (nullptr for one not kept) and how long it may grow.
    QByteArray *m_open = nullptr;
    qsizetype m_openLimit = 0;
    bool m_lastPieceFull = false;
    QByteArray m_robots; // the X-Robots-Tag under way, when m_open points here
    Sink m_sink = Sink::None;
    std::optional<PageFingerprint> m_rawHash; // a body that is no HTML: its fingerprint
    // Every 2xx body's raw hash, for the next check; and whether its HTML is
    // held rather than parsed while that hash may match the previous one.
    std::optional<PageFingerprint> m_bytesSeen;
    bool m_holding = false;
    bool m_parsed = false;
};

// The most of a body held unparsed: a page past it is parsed as it arrives,
// so that a check's workers never hold more than this each.
constexpr qsizetype maxHeld = 1024 * 1024;

PageFetchResult PageFetchRun::run()
{
    net::FetchRequest request;
    request.url = m_request.url;
    // The validators of the previous check; one a server could not have sent is left out.
    if (!m_request.etag.isEmpty() && printable(m_request.etag))
        request.headers += "If-None-Match: " + m_request.etag + "\r\n";
    if (!m_request.lastModified.isEmpty() && printable(m_request.lastModified))
        request.headers += "If-Modified-Since: " + m_request.lastModified + "\r\n";
    request.timeoutSeconds = m_request.timeoutSeconds;
    request.maxRedirects = net::RedirectChain::DefaultLimit;
    request.maxBytes = qMax<qint64>(m_request.maxBytes, 1);
    request.cutAtLimit = true;
    request.stopRequested = m_request.stopRequested;
    request.onRequest = [this] { startAnswer(); };
    request.onHeader = [this](const QByteArray &field, const QByteArray &value) { header(field, value); };
    request.onBodyStart = [this] { startBody(); };
    request.consume = [this](QByteArrayView piece) {
        takeBody(piece);
        return true;
    };
    const net::FetchResult fetched = net::Fetch(m_http, request);
    endHeader();

    PageFetchResult result;
    result.finalUrl = fetched.finalUrl;
    result.redirects = fetched.redirects;
    result.statusLine = fetched.statusLine;
    result.statusCode = fetched.statusCode;
    result.text = fetched.text;
    using Outcome = net::FetchResult::Outcome;
    switch (fetched.outcome) {
    case Outcome::Success:
    case Outcome::HttpStatus:
        break;
    case Outcome::RedirectRefused:
        result.outcome = PageFetchResult::Outcome::RedirectRefused;
        return result;
    case Outcome::TimedOut:
        result.outcome = PageFetchResult::Outcome::TimedOut;
        return result;
    case Outcome::Stopped:
        result.outcome = PageFetchResult::Outcome::Stopped;
        return result;
    case Outcome::Failed:
    case Outcome::TooLarge: // not with cutAtLimit
        result.outcome = PageFetchResult::Outcome::Failed;
        return result;
    }
    result.outcome = PageFetchResult::Outcome::Answered;
    result.text.clear();
    result.etag = m_etag;
    result.lastModified = m_lastModified;
    result.retryAfter = m_retryAfter;
    result.cut = fetched.cut;
    if (is2xx(result.statusCode)) {
        result.fingerprint = finishBody();
        result.rawHash = m_bytesSeen ? m_bytesSeen->result() : QByteArray();
        result.parsed = m_parsed;
    }
    result.pageSignals = m_headerSignals;
    return result;
}

void PageFetchRun::startAnswer()
{
    m_contentType.clear();
    m_etag.clear();
    m_lastModified.clear();
    m_retryAfter.clear();
    m_headerSignals = {};
    m_open = nullptr;
    m_lastPieceFull = false;
    m_robots.clear();
    m_sink = Sink::None;
    m_rawHash.reset();
    m_bytesSeen.reset();
    m_holding = false;
    m_parsed = false;
    m_held.resize(0);
}

void PageFetchRun::header(const QByteArray &field, const QByteArray &value)
{
    const bool continues = field.isEmpty() || m_lastPieceFull;
    m_lastPieceFull = fillsLineBuffer(field, value);
    if (continues) {
        // A folded line continues the one before, its fold read as a blank; a
        // piece of a long line continues it as it stands.
        if (m_open == nullptr || m_open->size() > m_openLimit)
            return;
        m_open->append(field.isEmpty() ? " " + value : value.isEmpty() ? field : field + ':' + value);
        if (m_open == &m_robots && m_robots.size() > m_openLimit && m_headerSignals.unreadable.isEmpty())
            m_headerSignals.unreadable =
                QStringLiteral("cannot read the page's X-Robots-Tag: longer than %1 KiB").arg(maxRobotsHeader / 1024);
        return;
    }
    endHeader();
    const auto is = [&field](const char *name) { return field.trimmed().compare(name, Qt::CaseInsensitive) == 0; };
    m_open = nullptr;
    m_openLimit = maxHeaderValue;
    if (is("content-type"))
        m_open = &m_contentType;
    else if (is("etag"))
        m_open = &m_etag;
    else if (is("last-modified"))
        m_open = &m_lastModified;
    else if (is("retry-after"))
        m_open = &m_retryAfter;
    else if (is("x-robots-tag"))
        m_open = &m_robots;
    if (m_open == &m_robots)
        m_openLimit = maxRobotsHeader;
    if (m_open != nullptr)
        *m_open = value.left(m_openLimit + 1);
}

void PageFetchRun::endHeader()
{
    if (m_open == &m_robots && m_robots.size() <= maxRobotsHeader)
        m_headerSignals.takeRobotsHeader(m_robots);
    else if (m_open != nullptr)
        *m_open = m_open->trimmed().left(m_openLimit);
    m_robots.clear();
    m_open = nullptr;
}

void PageFetchRun::startBody()
{
    endHeader();
    // Only a 2xx body is judged; a 2xx is never a redirect, so it is the final answer's.
    if (!is2xx(net::statusCodeOf(m_http.ResponseStatusLine())))
        return;
    // What the reading depends on besides the bytes goes first, each on a line of its own.
    m_bytesSeen.emplace();
    const QByteArray url = m_http.URL();
    for (const QByteArray &part : {fingerprintRule(m_request.scope), m_contentType, url})
        m_bytesSeen->addBytes(part.left(maxHeaderValue).replace('\n', ' ') + '\n');
    if (namesHtml(m_contentType)) {
        m_sink = Sink::Html;
        m_holding = m_request.readBefore.has_value();
        if (!m_holding)
            parseHeld();
    } else {
        m_sink = Sink::Bytes;
        m_rawHash.emplace();
    }
}

void PageFetchRun::takeBody(QByteArrayView piece)
{
    if (m_bytesSeen)
        m_bytesSeen->addBytes(piece);
    if (m_sink == Sink::Html) {
        if (m_holding && m_held.size() + piece.size() <= maxHeld) {
            m_held.append(piece);
            return;
        }
        if (m_holding)
            parseHeld();
        m_reader.feed(piece);
    } else if (m_sink == Sink::Bytes) {
        m_rawHash->addBytes(piece);
    }
}

void PageFetchRun::parseHeld()
{
    m_holding = false;
    m_parsed = true;
    // The reader resolves links against the address this answer came from.
    m_reader.restart(m_http.URL(), m_contentType, m_request.scope);
    m_reader.feed(m_held);
    m_held.resize(0);
}

QByteArray PageFetchRun::finishBody()
{
    switch (m_sink) {
    case Sink::Html:
        if (m_holding) {
            const PageFetchRequest::ReadBefore &before = *m_request.readBefore;
            if (m_bytesSeen->result() == before.rawHash) {
                m_holding = false;
                m_held.resize(0);
                m_headerSignals.noindexMeta = before.html.noindexMeta;
                m_headerSignals.canonical = before.html.canonical;
                return before.fingerprint;
            }
            parseHeld();
        }
        m_reader.finish();
        m_headerSignals.noindexMeta = m_reader.pageSignals().noindexMeta;
        m_headerSignals.canonical = m_reader.pageSignals().canonical;
        if (m_headerSignals.unreadable.isEmpty())
            m_headerSignals.unreadable = m_reader.pageSignals().unreadable;
        return m_reader.fingerprint();
    case Sink::Bytes:
        return withRule(m_rawHash->result());
    case Sink::None:
        break;
    }
    return withRule(PageFingerprint().result()); // the answer ended before its body began
}

} // namespace

PageFetcher::PageFetcher(THTTPClient &http) : m_http(http), m_reader(std::make_unique<HtmlPageReader>(QByteArray()))
{}

PageFetcher::~PageFetcher() = default;

PageFetchResult PageFetcher::fetch(const PageFetchRequest &request)
{
    return PageFetchRun(m_http, *m_reader, m_held, request).run();
}

PageFetchResult fetchPage(THTTPClient &http, const PageFetchRequest &request)
{
    return PageFetcher(http).fetch(request);
}

std::optional<qint64> retryAfterSeconds(QByteArrayView value, const QDateTime &now)
{
    const QByteArray text = value.trimmed().toByteArray();
    if (text.isEmpty())
        return std::nullopt;
    bool digits = true;
    for (const char c : text)
        digits = digits && c >= '0' && c <= '9';
    if (digits)
        return text.size() > 12 ? std::numeric_limits<qint64>::max() : text.toLongLong();
    // An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT") is an RFC 2822 date whose zone is spelled GMT.
    QString date = QString::fromLatin1(text);
    if (date.endsWith(QLatin1String(" GMT")))
        date = date.chopped(4) + QStringLiteral(" +0000");
    const QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!when.isValid())
        return std::nullopt;
    return qMax<qint64>(0, now.secsTo(when));
}

} // namespace checks
