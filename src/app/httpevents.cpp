// The main window's handlers of the HTTP component's events. They run for every
// exchange of the component, engine list downloads included, from inside its
// wait: they move the single progress bar, stop the timeout timer at the end of
// a transfer, collect the answer text and remember the last header.

#include "app/mainform.h"
#include "net/httpclient.h"
#include "runs/ui/gauge.h"
#include "runs/ui/statuslog.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>

void TMainForm::AddStatusLine(const QString &text, int kind)
{
    Submit.SubmitStatusRichEdit->AddStatusLine(text, kind);
}

void TMainForm::AddAnswerLine(const QString &line)
{
    AnswerBuffer.append(line);
    // The working page is visible in debug mode only; it mirrors the buffer then.
    if (DebugMode())
        Hidden.SubmitStatusMemo->appendPlainText(line);
}

void TMainForm::ClearAnswerBuffer()
{
    AnswerBuffer.clear();
    // Emptying an empty memo still rebuilds its document, once per request.
    if (!Hidden.SubmitStatusMemo->document()->isEmpty())
        Hidden.SubmitStatusMemo->clear();
}

QString TMainForm::AnswerText() const
{
    return AnswerBuffer.join(QStringLiteral("\r\n"));
}

void TMainForm::AdvanceSingleProgress()
{
    SingleProgress += 16.67f;
    Submit.SingleGauge->setValue(qBound(0, int(SingleProgress), Submit.SingleGauge->maximum()));
}

void TMainForm::AdvanceFullProgress()
{
    ++FullProgress;
    Submit.FullGauge->setValue(qMin(FullProgress, Submit.FullGauge->maximum()));
    if (DebugMode())
        AddStatusLine(QStringLiteral("iTmpFullPosition = ") + QString::number(FullProgress), 6);
}

void TMainForm::connectHttpEvents()
{
    THTTPClient &http = *m_http;
    http.OnStartTransfer = [this](QObject *) {
        AdvanceSingleProgress();
        if (DebugMode())
            AddStatusLine(QStringLiteral("Starting transfer"), 4);
    };
    http.OnTransfer = [this](QObject *, qint32, const char *text, quint16 length) {
        AdvanceSingleProgress();
        // The chunk counts up to its first zero byte.
        const qsizetype end = qsizetype(qstrnlen(text, length));
        AddAnswerLine(QString::fromUtf8(text, end));
    };
    http.OnEndTransfer = [this](QObject *) {
        AdvanceSingleProgress();
        TimeoutCount = 0;
        SubmitTimer->stop();
        if (DebugMode())
            AddStatusLine(QStringLiteral("Transfer complete"), 4);
    };
    http.OnError = [this](QObject *, int, const QString &description) { AddStatusLine(description, 3); };
    http.OnConnected = [this](QObject *, int, const QString &) {
        AdvanceSingleProgress();
        if (DebugMode())
            AddStatusLine(QStringLiteral("Connected"), 4);
    };
    http.OnDisconnected = [this](QObject *, int, const QString &) {
        AdvanceSingleProgress();
        if (DebugMode())
            AddStatusLine(QStringLiteral("Disconnected"), 4);
    };
    http.OnHeader = [this](QObject *, const QByteArray &field, const QByteArray &value) {
        AdvanceSingleProgress();
        LastHeaderField = QString::fromUtf8(field);
        LastHeaderValue = QString::fromUtf8(value);
        if (DebugMode()) {
            AddAnswerLine(QStringLiteral("Field: ") + LastHeaderField);
            AddAnswerLine(QStringLiteral("Value: ") + LastHeaderValue);
        }
    };
}
