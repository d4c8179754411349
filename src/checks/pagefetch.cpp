#include "checks/pagefetch.h"

#include <QTimer>
#include <QUrl>
#include <limits>
#include <memory>

#include "checks/htmlpagereader.h"
#include "net/fetch.h"
#include "net/httpclient.h"
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

// Header values kept from one answer; a hostile server's flood of headers is capped.
constexpr qsizetype maxHeaderValue = 4096;

class PageFetchRun
{
public:
    PageFetchRun(THTTPClient &http, const PageFetchRequest &request)
        : m_http(http), m_request(request), m_chain(request.url), m_timeout(qMax(request.timeoutSeconds, 1))
    {}

    PageFetchResult run();

private:
    // Why the fetch itself ended an exchange.
    enum class End { None, TimedOut, Stopped, Cut };

    void exchange(PageFetchResult &result);
    void end(End why);
    bool stopRequested() const { return m_request.stopRequested && m_request.stopRequested(); }
    void header(const QByteArray &field, const QByteArray &value);
    void startBody();
    void takeBody(const char *data, int len);

    THTTPClient &m_http;
    const PageFetchRequest &m_request;
    net::RedirectChain m_chain;
    int m_timeout;
    End m_end = End::None;

    // The answer under way.
    QByteArray m_location, m_contentType, m_etag, m_lastModified, m_retryAfter;
    PageSignals m_headerSignals;
    std::unique_ptr<HtmlPageReader> m_reader;
    std::unique_ptr<PageFingerprint> m_rawHash;
    qint64 m_taken = 0;
    bool m_cut = false;
};

PageFetchResult PageFetchRun::run()
{
    PageFetchResult result;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &m_http, [this] { end(End::TimedOut); });
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &m_http, [this] {
        if (stopRequested())
            end(End::Stopped);
    });
    m_http.setLocalFile(QString());
    m_http.setPostData({});
    m_http.OnHeader = [this](QObject *, const QByteArray &field, const QByteArray &value) { header(field, value); };
    m_http.OnStartTransfer = [this](QObject *) { startBody(); };
    m_http.OnTransfer = [this](QObject *, qint32, const char *text, quint16 len) { takeBody(text, len); };
    const QByteArray ifModifiedSince = m_http.IfModifiedSince();
    const QByteArray otherHeaders = m_http.OtherHeaders();
    m_http.setIfModifiedSince(printable(m_request.lastModified) ? m_request.lastModified : QByteArray());
    m_http.setOtherHeaders(!m_request.etag.isEmpty() && printable(m_request.etag)
                               ? "If-None-Match: " + m_request.etag + "\r\n"
                               : QByteArray());
    deadline.start(m_timeout * 1000);
    if (m_request.stopRequested)
        poll.start();

    for (;;) {
        result.finalUrl = m_chain.current();
        if (stopRequested())
            m_end = End::Stopped;
        if (m_end == End::Stopped || m_end == End::TimedOut) {
            result.outcome =
                m_end == End::Stopped ? PageFetchResult::Outcome::Stopped : PageFetchResult::Outcome::TimedOut;
            result.text = m_end == End::Stopped ? QStringLiteral("stopped")
                                                : QStringLiteral("no answer within %1 s").arg(m_timeout);
            break;
        }
        exchange(result);
        if (!result.answered() || !net::RedirectChain::isRedirectStatus(result.statusCode) || m_location.isEmpty())
            break;
        const QString refusal = m_chain.follow(m_location);
        if (!refusal.isEmpty()) {
            result.outcome = PageFetchResult::Outcome::RedirectRefused;
            result.text = refusal;
            break;
        }
        result.redirects = m_chain.taken();
    }
    deadline.stop();
    poll.stop();
    m_http.OnHeader = nullptr;
    m_http.OnStartTransfer = nullptr;
    m_http.OnTransfer = nullptr;
    // The validators were this page's: the client's next request must not carry them.
    m_http.setIfModifiedSince(ifModifiedSince);
    m_http.setOtherHeaders(otherHeaders);
    return result;
}

void PageFetchRun::exchange(PageFetchResult &result)
{
    m_location.clear();
    m_contentType.clear();
    m_etag.clear();
    m_lastModified.clear();
    m_retryAfter.clear();
    m_headerSignals = {};
    m_reader.reset();
    m_rawHash.reset();
    m_taken = 0;
    m_cut = false;
    std::optional<net::Error> failure;
    QString failureText;
    try {
        m_http.setURL(m_chain.current());
        m_http.setAction(httpGet);
    } catch (const ENetCore &error) {
        if (error.error() != net::Error::StatusFailed) {
            failure = error.error();
            failureText = QString::fromUtf8(error.what());
        }
    } catch (const std::bad_alloc &) {
        failure = net::Error::OutOfMemory;
        failureText = QString::fromUtf8(ENetCore(net::Error::OutOfMemory).what());
    }
    result.statusLine = m_http.StatusLine();
    result.statusCode = net::statusCodeOf(result.statusLine);
    const bool answered = !result.statusLine.isEmpty();
    if (m_end == End::TimedOut || m_end == End::Stopped) {
        result.outcome = m_end == End::Stopped ? PageFetchResult::Outcome::Stopped : PageFetchResult::Outcome::TimedOut;
        result.text = m_end == End::Stopped
                          ? QStringLiteral("stopped")
                          : QStringLiteral("%1 within %2 s")
                                .arg(answered ? QStringLiteral("no complete answer") : QStringLiteral("no answer"))
                                .arg(m_timeout);
        return;
    }
    if (failure && m_end != End::Cut) {
        result.outcome = PageFetchResult::Outcome::Failed;
        result.text = failureText;
        return;
    }
    if (!answered) {
        result.outcome = PageFetchResult::Outcome::Failed;
        result.text = QStringLiteral("no answer: the connection closed before a status line");
        return;
    }
    result.outcome = PageFetchResult::Outcome::Answered;
    result.text.clear();
    result.etag = m_etag;
    result.lastModified = m_lastModified;
    result.retryAfter = m_retryAfter;
    result.pageSignals = m_headerSignals;
    result.cut = m_cut;
    result.fingerprint.clear();
    if (result.statusCode < 200 || result.statusCode > 299)
        return;
    if (m_reader) {
        m_reader->finish();
        result.pageSignals.noindexMeta = m_reader->pageSignals().noindexMeta;
        result.pageSignals.canonical = m_reader->pageSignals().canonical;
        result.fingerprint = m_reader->fingerprint();
        m_reader.reset();
    } else if (m_rawHash) {
        result.fingerprint = m_rawHash->result();
    } else {
        result.fingerprint = PageFingerprint().result(); // an empty body
    }
}

void PageFetchRun::end(End why)
{
    // A connection already closed has its answer: a late timer changes nothing about it.
    if (m_end != End::None || m_http.SocketHandle() < 0)
        return;
    m_end = why;
    m_http.setAction(httpIdle);
}

void PageFetchRun::header(const QByteArray &field, const QByteArray &value)
{
    const QByteArray name = field.trimmed().toLower();
    const QByteArray kept = value.trimmed().left(maxHeaderValue);
    if (name == "location")
        m_location = kept;
    else if (name == "content-type")
        m_contentType = kept;
    else if (name == "etag")
        m_etag = kept;
    else if (name == "last-modified")
        m_lastModified = kept;
    else if (name == "retry-after")
        m_retryAfter = kept;
    else if (name == "x-robots-tag")
        m_headerSignals.takeRobotsHeader(kept);
}

void PageFetchRun::startBody()
{
    const int code = net::statusCodeOf(m_http.ResponseStatusLine());
    if (code < 200 || code > 299)
        return;
    if (namesHtml(m_contentType))
        m_reader = std::make_unique<HtmlPageReader>(m_chain.current());
    else
        m_rawHash = std::make_unique<PageFingerprint>();
}

void PageFetchRun::takeBody(const char *data, int len)
{
    if ((!m_reader && !m_rawHash) || m_end != End::None)
        return;
    if (m_taken + len > m_request.maxBytes) {
        len = int(m_request.maxBytes - m_taken);
        m_cut = true;
    }
    m_taken += len;
    if (m_reader)
        m_reader->feed(QByteArrayView(data, len));
    else
        m_rawHash->addBytes(QByteArrayView(data, len));
    if (m_cut)
        end(End::Cut);
}

} // namespace

PageFetchResult fetchPage(THTTPClient &http, const PageFetchRequest &request)
{
    return PageFetchRun(http, request).run();
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
