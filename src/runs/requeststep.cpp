#include "runs/requeststep.h"

#include "net/fetch.h"
#include "net/httpclient.h"
#include "runs/answermatcher.h"
#include "runs/runcontrol.h"
#include "runs/runobserver.h"

#include <QFile>
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
    m_http.OnStartTransfer = [this](QObject *) {
        advance();
        if (m_debug)
            m_observer.statusLine(QStringLiteral("Starting transfer"), StatusKind::Event);
    };
    m_http.OnTransfer = [this](QObject *, qint32, const char *text, quint16 length) {
        advance();
        if (m_matcher)
            m_matcher->feed(text, length);
        if (m_debug)
            show(QString::fromUtf8(text, qsizetype(qstrnlen(text, length))));
    };
    m_http.OnEndTransfer = [this](QObject *) {
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
    m_http.OnHeader = [this](QObject *, const QByteArray &field, const QByteArray &value) {
        advance();
        // A redirection is known by its Location wherever it stands among the headers.
        if (field.compare("Location", Qt::CaseInsensitive) == 0)
            m_location = value;
        m_lastField = QString::fromUtf8(field);
        m_lastValue = QString::fromUtf8(value);
        if (m_debug) {
            show(QStringLiteral("Field: ") + m_lastField);
            show(QStringLiteral("Value: ") + m_lastValue);
        }
    };
}

RequestStep::~RequestStep()
{
    m_http.OnStartTransfer = nullptr;
    m_http.OnTransfer = nullptr;
    m_http.OnEndTransfer = nullptr;
    m_http.OnError = nullptr;
    m_http.OnConnected = nullptr;
    m_http.OnDisconnected = nullptr;
    m_http.OnHeader = nullptr;
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
    m_location.clear();
    m_statusLine.clear();
    m_lastField.clear();
    m_lastValue.clear();
    m_progress = 0;
    m_matcher = matcher;
    if (!m_shown.isEmpty())
        clearAnswer();

    m_http.setURL(request.url);
    m_http.setContentType(request.contentType);
    m_http.setPostData(request.postData);
    m_http.setLocalFile(request.localFile);
    m_http.setLocalFileLimit(AnswerFileLimit);

    RequestResult result;
    int failedCode = 0;
    QString failure;
    m_control.startRequest(request.timeoutSeconds);
    try {
        m_http.setAction(request.post ? httpPost : httpGet);
    } catch (const ENetCore &error) {
        failedCode = error.Code();
        failure = error.Message().isEmpty() ? QString::fromUtf8(error.what()) : error.Message();
    } catch (const std::exception &error) {
        failedCode = -1;
        failure = QString::fromUtf8(error.what());
    }
    const RunControl::Interruption interruption = m_control.finishRequest();
    m_matcher = nullptr;
    m_statusLine = m_http.StatusLine();

    if (interruption != RunControl::Interruption::None) {
        result.outcome = interruptedOutcome(interruption);
    } else if (failedCode == 0 || failedCode == int(net::Error::StatusFailed)) {
        // An answer whose status is not 2xx: the status line decides.
        result = classifyAnswer(m_statusLine, m_location);
    } else {
        // The network failed: whatever arrived before is no acceptance.
        result.reason =
            m_statusLine.isEmpty() ? failure : QStringLiteral("answer cut off (") + failure + QStringLiteral(")");
    }
    result.statusLine = QString::fromUtf8(m_statusLine);
    if (!request.localFile.isEmpty() && QFileInfo(request.localFile).isFile()) {
        result.answerFile = QFileInfo(request.localFile).fileName();
        result.answerCut = m_http.LocalFileCut();
    }
    return result;
}
