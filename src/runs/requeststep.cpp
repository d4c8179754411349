#include "runs/requeststep.h"

#include "net/fetch.h"
#include "net/httpclient.h"
#include "runs/answermatcher.h"
#include "runs/runcontrol.h"
#include "runs/runobserver.h"

#include <QFileInfo>

namespace {

Outcome interruptedOutcome(RunControl::Interruption why)
{
    switch (why) {
    case RunControl::Interruption::Timeout:
        return Outcome::TimedOut;
    case RunControl::Interruption::SkipUrl:
        return Outcome::SkippedUrl;
    case RunControl::Interruption::SkipEngine:
        return Outcome::SkippedEngine;
    case RunControl::Interruption::Stop:
    case RunControl::Interruption::None:
        break;
    }
    return Outcome::Stopped;
}

} // namespace

int statusCodeOf(const QByteArray &statusLine)
{
    return net::statusCodeOf(statusLine);
}

RequestResult classifyAnswer(const QByteArray &statusLine, const QByteArray &location)
{
    RequestResult result;
    if (statusLine.isEmpty()) {
        result.reason = QStringLiteral("no answer: the connection closed before a status line");
        return result;
    }
    const int code = net::statusCodeOf(statusLine);
    if (code < 0) {
        result.reason = QStringLiteral("malformed status line: ") + net::printableStatusLine(statusLine);
        return result;
    }
    if (code >= 200 && code < 300) {
        result.outcome = Outcome::Accepted;
    } else if (code >= 300 && code < 400 && !location.isEmpty()) {
        result.outcome = Outcome::Redirected;
        result.location = QString::fromUtf8(location);
    } else {
        result.reason = net::printableStatusLine(statusLine);
    }
    return result;
}

RequestStep::RequestStep(THTTPClient &http, RunControl &control, RunObserver &observer, bool debug)
    : m_http(http), m_control(control), m_observer(observer), m_debug(debug)
{
    // The header and body events are the fetch's while a request runs; it passes them on.
    m_http.OnEndTransfer = [this](QObject *) {
        // The saved answer is complete before the transfer is.
        if (m_file.finish() == BodyFile::Outcome::WriteFailed)
            fileFailed(net::Error::LocalFileWriteFailed);
        advance();
        m_control.transferEnded();
        if (m_debug)
            m_observer.statusLine(QStringLiteral("Transfer complete"), StatusKind::Event);
    };
    m_http.OnError = [this](QObject *, int, const QString &description) {
        m_observer.statusLine(description, StatusKind::Failure);
    };
    m_http.OnConnected = [this](QObject *, int, const QString &) {
        advance();
        if (m_debug)
            m_observer.statusLine(QStringLiteral("Connected"), StatusKind::Event);
    };
    m_http.OnDisconnected = [this](QObject *, int, const QString &) {
        advance();
        if (m_debug)
            m_observer.statusLine(QStringLiteral("Disconnected"), StatusKind::Event);
    };
}

RequestStep::~RequestStep()
{
    m_http.OnEndTransfer = nullptr;
    m_http.OnError = nullptr;
    m_http.OnConnected = nullptr;
    m_http.OnDisconnected = nullptr;
}

void RequestStep::header(const QByteArray &field, const QByteArray &value)
{
    advance();
    m_lastField = QString::fromUtf8(field);
    m_lastValue = QString::fromUtf8(value);
    if (field.compare("Retry-After", Qt::CaseInsensitive) == 0)
        m_retryAfter = value.trimmed().left(64); // a date or a number: anything longer is no Retry-After
    if (m_debug) {
        show(QStringLiteral("Field: ") + m_lastField);
        show(QStringLiteral("Value: ") + m_lastValue);
    }
}

void RequestStep::bodyStarted()
{
    advance();
    if (m_debug)
        m_observer.statusLine(QStringLiteral("Starting transfer"), StatusKind::Event);
}

void RequestStep::take(QByteArrayView piece)
{
    const char *text = piece.data();
    const int length = int(piece.size());
    // A piece the file could not be made for goes no further, as with the client's own file.
    switch (m_file.append(text, length)) {
    case BodyFile::Outcome::OpenFailed:
        fileFailed(net::Error::LocalFileNotCreated);
        return;
    case BodyFile::Outcome::WriteFailed:
        fileFailed(net::Error::LocalFileWriteFailed);
        break;
    default:
        break;
    }
    advance();
    if (m_matcher)
        m_matcher->feed(text, length);
    if (m_debug)
        show(QString::fromUtf8(text, qsizetype(qstrnlen(text, length))));
}

void RequestStep::fileFailed(net::Error code)
{
    m_observer.statusLine(net::errorText(code), StatusKind::Failure);
}

void RequestStep::advance()
{
    m_progress += 16.67f;
    m_observer.requestProgress(qBound(0, int(m_progress), 100));
}

void RequestStep::show(const QString &piece)
{
    // What is shown of one answer stays within its limit, however long the answer.
    const qsizetype room = RunObserver::answerShownLimit - m_shownBytes;
    if (room <= 0)
        return;
    QByteArray bytes = piece.toUtf8();
    if (bytes.size() > room) {
        bytes.truncate(room);
        // Never end inside a character: drop the continuation bytes and the lead byte of a cut one.
        while (!bytes.isEmpty() && (uchar(bytes.back()) & 0xC0) == 0x80)
            bytes.chop(1);
        if (!bytes.isEmpty() && uchar(bytes.back()) >= 0xC0)
            bytes.chop(1);
    }
    m_shownBytes += bytes.size();
    const QString shown = QString::fromUtf8(bytes);
    m_shown += m_shown.isEmpty() ? shown : QStringLiteral("\r\n") + shown;
    m_observer.answerShown(shown);
}

void RequestStep::clearAnswer()
{
    m_shown.clear();
    m_shownBytes = 0;
    m_observer.answerCleared();
}

RequestResult RequestStep::send(const Request &request, AnswerMatcher *matcher)
{
    // Nothing of an earlier answer may classify this one.
    m_statusLine.clear();
    m_lastField.clear();
    m_lastValue.clear();
    m_retryAfter.clear();
    m_progress = 0;
    m_matcher = matcher;
    if (!m_shown.isEmpty())
        clearAnswer();
    m_file.begin(request.localFile, AnswerFileLimit);

    net::FetchRequest fetch;
    fetch.url = request.url;
    fetch.method = request.post ? QByteArrayLiteral("POST") : QByteArrayLiteral("GET");
    fetch.postData = request.postData;
    fetch.contentType = request.contentType;
    fetch.maxRedirects = 0; // a redirection is the engine's answer, not a way to it
    // The run control's tick and buttons interrupt the client and remember why:
    // no timer of the fetch's own, which would cost every request of the run.
    fetch.callerInterrupts = true;
    fetch.onHeader = [this](const QByteArray &field, const QByteArray &value) { header(field, value); };
    fetch.onBodyStart = [this] { bodyStarted(); };
    fetch.consume = [this](QByteArrayView piece) {
        take(piece);
        return true;
    };

    net::FetchResult answer;
    bool failed = false;
    QString failure;
    m_control.startRequest(request.timeoutSeconds);
    try {
        answer = net::Fetch(m_http, fetch);
        failed = answer.error.has_value();
        failure = answer.message;
    } catch (const std::exception &error) {
        // A handler's own failure (the matcher, the observer) ends the request like a network one.
        failed = true;
        failure = QString::fromUtf8(error.what());
        answer.statusLine = m_http.StatusLine();
    }
    const RunControl::Interruption interruption = m_control.finishRequest();
    m_matcher = nullptr;
    m_file.close();
    m_statusLine = answer.statusLine;

    RequestResult result;
    if (interruption != RunControl::Interruption::None) {
        result.outcome = interruptedOutcome(interruption);
    } else if (!failed) {
        // An answer, whatever its status, or none: the status line decides.
        result = classifyAnswer(m_statusLine, answer.location);
    } else {
        // The network failed: whatever arrived before is no acceptance.
        result.reason =
            m_statusLine.isEmpty() ? failure : QStringLiteral("answer cut off (") + failure + QStringLiteral(")");
    }
    result.statusLine = QString::fromUtf8(m_statusLine);
    result.retryAfter = m_retryAfter;
    if (!request.localFile.isEmpty() && QFileInfo(request.localFile).isFile()) {
        result.answerFile = QFileInfo(request.localFile).fileName();
        result.answerCut = m_file.cut();
    }
    return result;
}
