#include "net/fetch.h"

#include <QTimer>
#include <algorithm>
#include <cstring>

#include "net/bodyfile.h"
#include "net/headerlines.h"
#include "net/httpclient.h"

namespace net {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

THTTPActions actionOf(const QByteArray &method)
{
    if (method == "POST")
        return httpPost;
    if (method == "HEAD")
        return httpHead;
    if (method == "PUT")
        return httpPut;
    return httpGet;
}

bool sendsBody(const QByteArray &method)
{
    return method == "POST" || method == "PUT";
}

// What the fetch changes on the client, put back however it ends.
class ClientState
{
public:
    explicit ClientState(THTTPClient &http)
        : m_http(http), m_url(http.URL()), m_scheme(http.URLScheme()), m_server(http.URLServer()),
          m_port(http.URLPort()), m_path(http.URLPath()), m_user(http.User()), m_password(http.Password()),
          m_authorization(http.Authorization()), m_accept(http.Accept()), m_from(http.From()),
          m_userAgent(http.UserAgent()), m_ifModifiedSince(http.IfModifiedSince()), m_referer(http.Referer()),
          m_pragma(http.Pragma()), m_otherHeaders(http.OtherHeaders()), m_postData(http.PostData()),
          m_contentType(http.ContentType()), m_localFile(http.LocalFile()), m_limit(http.LocalFileLimit()),
          m_onHeader(http.OnHeader), m_onStart(http.OnStartTransfer), m_onTransfer(http.OnTransfer)
    {}
    ~ClientState()
    {
        try {
            m_http.setURL(m_url);
            m_http.setUser(m_user);
            m_http.setPassword(m_password);
        } catch (const ENetCore &) {
            // Only memory can fail here, and then the fields below are still put back.
        }
        m_http.setURLScheme(m_scheme);
        m_http.setURLServer(m_server);
        m_http.setURLPort(m_port);
        m_http.setURLPath(m_path);
        m_http.setAuthorization(m_authorization);
        m_http.setAccept(m_accept);
        m_http.setFrom(m_from);
        m_http.setUserAgent(m_userAgent);
        m_http.setIfModifiedSince(m_ifModifiedSince);
        m_http.setReferer(m_referer);
        m_http.setPragma(m_pragma);
        m_http.setOtherHeaders(m_otherHeaders);
        m_http.setPostData(m_postData);
        m_http.setContentType(m_contentType);
        m_http.setLocalFile(m_localFile);
        m_http.setLocalFileLimit(m_limit);
        m_http.OnHeader = m_onHeader;
        m_http.OnStartTransfer = m_onStart;
        m_http.OnTransfer = m_onTransfer;
    }
    ClientState(const ClientState &) = delete;
    ClientState &operator=(const ClientState &) = delete;

private:
    THTTPClient &m_http;
    QByteArray m_url, m_scheme, m_server;
    quint16 m_port;
    QByteArray m_path, m_user, m_password, m_authorization;
    QByteArray m_accept, m_from, m_userAgent, m_ifModifiedSince, m_referer, m_pragma, m_otherHeaders;
    QByteArray m_postData, m_contentType;
    QString m_localFile;
    qint64 m_limit;
    decltype(THTTPClient::OnHeader) m_onHeader;
    decltype(THTTPClient::OnStartTransfer) m_onStart;
    decltype(THTTPClient::OnTransfer) m_onTransfer;
};

class FetchRun
{
public:
    FetchRun(THTTPClient &http, const FetchRequest &request)
        : m_http(http), m_request(request), m_current(request.url), m_maxRedirects(qMax(request.maxRedirects, 0)),
          m_timeout(qMax(request.timeoutSeconds, 1))
    {}

    FetchResult run();

private:
    // Why the fetch itself ended an exchange.
    enum class End {
        None,
        TimedOut,
        Stopped,  // the caller's stop check
        Declined, // the consumer wanted no more
        TooLarge,
        Cut,      // the body reached maxBytes and the caller takes it cut
        LocalFile // the local file failed
    };

    void exchange(const QByteArray &method, const QByteArray &postData, FetchResult &result);
    void end(End why);
    void placeHeaders();
    bool stopRequested() const { return m_request.stopRequested && m_request.stopRequested(); }
    void startBody();
    void takeBody(const char *data, int len);
    void describeEnd(FetchResult &result) const;
    static void describeFailure(FetchResult &result, const ENetCore &error);

    THTTPClient &m_http;
    const FetchRequest &m_request;
    QByteArray m_current; // the address asked next
    // Made at the first redirect followed: most fetches take none, and parsing the address is not free.
    std::optional<RedirectChain> m_chain;
    int m_maxRedirects;
    int m_timeout;
    bool m_deadlinePassed = false;
    End m_end = End::None;
    std::optional<Error> m_fileError;
    QByteArray m_location;
    bool m_final = false; // the answer under way is the final one: its body is delivered
    qint64 m_taken = 0;
    BodyFile m_file;
    FetchResult *m_result = nullptr;
    HeaderLines m_headers;
    bool m_headersPlaced = false;
    QByteArray m_firstHost; // the server of the first request: the headers stay with it
    bool m_offHost = false; // a redirect left that server: the headers are withdrawn for good
};

FetchResult FetchRun::run()
{
    FetchResult result;
    if (!m_headers.parse(m_request.headers)) {
        result.finalUrl = m_current;
        describeFailure(result, ENetCore(Error::UnsafeHeader));
        return result;
    }
    m_result = &result;
    // Timers only for what asks for them: a caller that interrupts the client itself
    // sends many requests, and two timers made and started for each cost it dearly.
    std::optional<QTimer> deadline;
    if (!m_request.callerInterrupts) {
        deadline.emplace();
        deadline->setSingleShot(true);
        QObject::connect(&*deadline, &QTimer::timeout, &m_http, [this] {
            m_deadlinePassed = true;
            end(End::TimedOut);
        });
        deadline->start(m_timeout * 1000);
    }
    // The stop check is polled: the caller's stop arrives as an event of its own, not as ours.
    std::optional<QTimer> poll;
    if (m_request.stopRequested) {
        poll.emplace();
        poll->setInterval(50);
        QObject::connect(&*poll, &QTimer::timeout, &m_http, [this] {
            if (stopRequested())
                end(End::Stopped);
        });
        poll->start();
    }
    m_http.setLocalFile(QString());
    m_http.setLocalFileLimit(0);
    m_http.OnHeader = [this](QObject *, const QByteArray &field, const QByteArray &value) {
        if (field.compare("Location", Qt::CaseInsensitive) == 0)
            m_location = value;
        if (m_request.onHeader)
            m_request.onHeader(field, value);
    };
    m_http.OnStartTransfer = [this](QObject *) { startBody(); };
    m_http.OnTransfer = [this](QObject *, qint32, const char *text, quint16 len) { takeBody(text, len); };

    QByteArray method = m_request.method;
    QByteArray postData = m_request.postData;
    m_http.setContentType(m_headers.contentType().value_or(m_request.contentType));
    for (;;) {
        result.finalUrl = m_current;
        if (stopRequested())
            m_end = End::Stopped;
        else if (m_deadlinePassed)
            m_end = End::TimedOut;
        if (m_end != End::None) {
            result.statusLine.clear();
            result.statusCode = -1;
            describeEnd(result);
            break;
        }
        exchange(method, postData, result);
        if (m_end != End::None) {
            describeEnd(result);
            break;
        }
        if (result.outcome != FetchResult::Outcome::HttpStatus)
            break;
        const int code = result.statusCode;
        if (!RedirectChain::isRedirectStatus(code) || m_maxRedirects == 0)
            break;
        if (result.location.isEmpty()) {
            result.text += QStringLiteral(" (a redirect without a Location)");
            break;
        }
        if (!m_chain)
            m_chain.emplace(m_request.url, m_maxRedirects);
        const QString refusal = m_chain->follow(result.location);
        if (!refusal.isEmpty()) {
            result.outcome = FetchResult::Outcome::RedirectRefused;
            result.text = refusal;
            break;
        }
        m_current = m_chain->current();
        result.redirects = m_chain->taken();
        if (code == 303 || ((code == 301 || code == 302) && sendsBody(method))) {
            if (method != "HEAD")
                method = QByteArrayLiteral("GET");
            postData.clear();
        }
    }
    m_result = nullptr;
    return result;
}

void FetchRun::exchange(const QByteArray &method, const QByteArray &postData, FetchResult &result)
{
    m_location.clear();
    m_final = false;
    m_taken = 0;
    result.body.clear();
    result.cut = false;
    std::optional<ENetCore> failure;
    try {
        if (m_request.onRequest)
            m_request.onRequest();
        m_http.setURL(m_current);
        placeHeaders();
        m_http.setPostData(postData);
        m_http.setAction(actionOf(method));
    } catch (const ENetCore &error) {
        failure = error;
    } catch (const std::bad_alloc &) {
        failure = ENetCore(Error::OutOfMemory);
    }
    if (m_file.finish() == BodyFile::Outcome::WriteFailed && !m_fileError)
        m_fileError = Error::LocalFileWriteFailed;
    result.statusLine = m_http.StatusLine();
    result.statusCode = statusCodeOf(result.statusLine);
    result.location = m_location;
    result.error.reset();
    result.message.clear();
    result.text.clear();
    if (m_end != End::None)
        return;
    if (failure && failure->error() != Error::StatusFailed) {
        describeFailure(result, *failure);
    } else if (m_fileError) {
        describeFailure(result, ENetCore(*m_fileError));
    } else if (result.statusLine.isEmpty()) {
        result.outcome = FetchResult::Outcome::Failed;
        result.text = QStringLiteral("no answer: the connection closed before a status line");
    } else if (result.statusCode >= 200 && result.statusCode < 300) {
        result.outcome = FetchResult::Outcome::Success;
    } else {
        result.outcome = FetchResult::Outcome::HttpStatus;
        result.text = printableStatusLine(result.statusLine);
    }
}

void FetchRun::placeHeaders()
{
    if (m_headers.isEmpty() || m_offHost)
        return;
    if (!m_headersPlaced) {
        m_headersPlaced = true;
        m_firstHost = m_http.URLServer();
        m_headers.apply(m_http);
    } else if (m_http.URLServer().compare(m_firstHost, Qt::CaseInsensitive) != 0) {
        m_offHost = true;
        m_headers.withdraw(m_http);
    }
}

void FetchRun::end(End why)
{
    // A connection already closed has its answer: a late timer changes nothing
    // about it (the next request, if any, is not started).
    if (m_end != End::None || m_http.SocketHandle() < 0)
        return;
    m_end = why;
    m_http.setAction(httpIdle);
}

void FetchRun::startBody()
{
    if (m_request.onBodyStart)
        m_request.onBodyStart();
    const int code = statusCodeOf(m_http.ResponseStatusLine());
    m_final = !(RedirectChain::isRedirectStatus(code) && !m_location.isEmpty() && m_maxRedirects > 0);
    if (m_final && !m_request.localFile.isEmpty()) {
        // The file is made even for an empty body: the caller finds what the answer held.
        m_file.begin(m_request.localFile);
        if (m_file.append("", 0) == BodyFile::Outcome::OpenFailed) {
            m_fileError = Error::LocalFileNotCreated;
            end(End::LocalFile);
        }
    }
}

void FetchRun::takeBody(const char *data, int len)
{
    if (!m_final || m_end != End::None)
        return;
    if (stopRequested()) {
        end(End::Stopped);
        return;
    }
    if (m_request.maxBytes > 0 && m_taken + len > m_request.maxBytes) {
        if (!m_request.cutAtLimit) {
            end(End::TooLarge);
            return;
        }
        len = int(m_request.maxBytes - m_taken);
        m_result->cut = true;
    }
    m_taken += len;
    if (!m_request.localFile.isEmpty() && !m_fileError) {
        const BodyFile::Outcome written = m_file.append(data, len);
        if (written == BodyFile::Outcome::OpenFailed)
            m_fileError = Error::LocalFileNotCreated;
        else if (written == BodyFile::Outcome::WriteFailed)
            m_fileError = Error::LocalFileWriteFailed;
        if (m_fileError) {
            end(End::LocalFile);
            return;
        }
    }
    if (m_request.keepBody)
        m_result->body.append(data, len);
    if (m_request.consume && !m_request.consume(QByteArrayView(data, len))) {
        end(End::Declined);
        return;
    }
    if (m_result->cut)
        end(End::Cut);
}

void FetchRun::describeFailure(FetchResult &result, const ENetCore &error)
{
    result.outcome = FetchResult::Outcome::Failed;
    result.error = error.error();
    result.text = QString::fromUtf8(error.what());
    result.message = error.Message().isEmpty() ? result.text : error.Message();
}

void FetchRun::describeEnd(FetchResult &result) const
{
    const bool answered = !result.statusLine.isEmpty();
    const bool success = result.statusCode >= 200 && result.statusCode < 300;
    switch (m_end) {
    case End::None:
        return;
    case End::TimedOut:
        result.outcome = FetchResult::Outcome::TimedOut;
        result.text = QStringLiteral("%1 within %2 s")
                          .arg(answered ? QStringLiteral("no complete answer") : QStringLiteral("no answer"))
                          .arg(m_timeout);
        return;
    case End::Stopped:
        result.outcome = FetchResult::Outcome::Stopped;
        result.text = QStringLiteral("stopped");
        return;
    case End::LocalFile:
        describeFailure(result, ENetCore(*m_fileError));
        return;
    case End::Declined:
    case End::TooLarge:
    case End::Cut:
        break;
    }
    // What the body did matters only for a success: an error page is an error page however it ended.
    if (answered && !success) {
        result.outcome = FetchResult::Outcome::HttpStatus;
        result.text = printableStatusLine(result.statusLine);
    } else if (m_end == End::Cut) {
        result.outcome = FetchResult::Outcome::Success;
    } else if (m_end == End::TooLarge) {
        result.outcome = FetchResult::Outcome::TooLarge;
        result.text = QStringLiteral("larger than %1 bytes").arg(m_request.maxBytes);
    } else {
        result.outcome = FetchResult::Outcome::Stopped;
        result.text = QStringLiteral("stopped");
    }
}

} // namespace

int statusCodeOf(const QByteArray &line)
{
    if (!line.startsWith("HTTP/"))
        return -1;
    qsizetype i = 5;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < line.size() && isDigit(line.at(i)))
            ++i;
        return i > from;
    };
    if (!digits() || i >= line.size() || line.at(i++) != '.' || !digits())
        return -1;
    if (i + 4 > line.size() || line.at(i) != ' ' || !isDigit(line.at(i + 1)) || !isDigit(line.at(i + 2)) ||
        !isDigit(line.at(i + 3)))
        return -1;
    if (i + 4 < line.size() && line.at(i + 4) != ' ')
        return -1;
    return (line.at(i + 1) - '0') * 100 + (line.at(i + 2) - '0') * 10 + (line.at(i + 3) - '0');
}

QString printableStatusLine(const QByteArray &line)
{
    QString text = QString::fromUtf8(line.left(200));
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar::ReplacementCharacter;
    return text;
}

FetchResult Fetch(THTTPClient &http, const FetchRequest &request)
{
    const ClientState saved(http);
    return FetchRun(http, request).run();
}

} // namespace net
