#pragma once

#include "net/bodyfile.h"
#include "net/neterror.h"
#include "runs/outcome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class AnswerMatcher;
class RunControl;
class RunObserver;
class THTTPClient;

// Classifies a finished answer by its status line: "HTTP/<digits>.<digits> 2xx"
// is accepted, 3xx with a Location is a redirection, everything else (no status
// line, a malformed one, 1xx, 3xx without Location, 4xx, 5xx) is a failure whose
// reason is the status line as received or what was wrong with it.
RequestResult classifyAnswer(const QByteArray &statusLine, const QByteArray &location);
// The status code of "HTTP/<digits>.<digits> <3 digits>", or -1 for any other line.
int statusCodeOf(const QByteArray &statusLine);

// The step every request of a run takes: one fetch (net::Fetch, no redirect
// followed) that waits for the end of the answer or the run control's
// interruption, then the classification. While it exists it owns the HTTP
// client's connection events, and each fetch brings it the headers and the
// body: they move the request's progress, collect the answer for display
// (debug mode), save the answer, feed the matcher and end the timeout at the
// end of the transfer.
class RequestStep
{
public:
    // A saved answer stops growing here (the transfer goes on); its report row says it was cut.
    static constexpr qint64 AnswerFileLimit = 16 * 1024 * 1024;

    struct Request
    {
        bool post = true;
        QByteArray url;      // the whole address; a GET's query included
        QByteArray postData; // a POST's body
        QByteArray contentType = QByteArrayLiteral("application/x-www-form-urlencoded");
        QString localFile; // where the answer is saved, "" for nowhere
        int timeoutSeconds = 15;
    };

    RequestStep(THTTPClient &http, RunControl &control, RunObserver &observer, bool debug);
    ~RequestStep();
    RequestStep(const RequestStep &) = delete;
    RequestStep &operator=(const RequestStep &) = delete;

    // One request from start to outcome. Never throws. The outcome is
    // TimedOut, SkippedUrl, SkippedEngine or Stopped when the run control
    // interrupted the request, otherwise the answer's classification or Failed
    // with the network error's text; an answer's Retry-After goes with it.
    RequestResult send(const Request &request, AnswerMatcher *matcher = nullptr);

    // Starts the display of a new answer (the observer's answerCleared()).
    void clearAnswer();
    // What the display kept of the current answer (debug mode, capped).
    QString shownAnswer() const { return m_shown; }
    // The last request's status line and last header, for diagnostics.
    QByteArray statusLine() const { return m_statusLine; }
    QString lastHeaderField() const { return m_lastField; }
    QString lastHeaderValue() const { return m_lastValue; }

private:
    void header(const QByteArray &field, const QByteArray &value);
    void bodyStarted();
    void take(QByteArrayView piece);
    void fileFailed(net::Error code);
    void advance();
    void show(const QString &piece);

    THTTPClient &m_http;
    RunControl &m_control;
    RunObserver &m_observer;
    bool m_debug;
    AnswerMatcher *m_matcher = nullptr;
    float m_progress = 0;
    BodyFile m_file; // the saved answer, made at its first byte as the client makes its own file
    QByteArray m_statusLine;
    QString m_lastField;
    QString m_lastValue;
    QByteArray m_retryAfter;
    QString m_shown;
    qsizetype m_shownBytes = 0;
};
