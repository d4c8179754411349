// The URL search: every URL of the open project asked of every checked engine;
// the URLs an engine answers as not listed go to that engine's search log.

#include "app/mainform.h"
#include "app/platform.h"
#include "engines/ui/enginechecklist.h"
#include "net/httpclient.h"
#include "net/urlcodec.h"
#include "project/urlpass.h"
#include "project/urltable.h"
#include "runs/engineform.h"
#include "runs/runfiles.h"
#include "runs/ui/gauge.h"
#include "runs/ui/timeoutmeter.h"

#include <QApplication>
#include <QFile>
#include <QScopeGuard>
#include <QTimer>

void TMainForm::SearchURLsBitBtnClick()
{
    if (m_runInProgress)
        return;
    const auto end = qScopeGuard([this] { endRun(); });
    try {
        if (!startRun(QStringLiteral("SRCH_")))
            return;
        StopFlag = false;
        ProcessEngines(3);
        finishRun(QStringLiteral("Done searching the selected search engines"));
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
}

void TMainForm::SearchEngines()
{
    AddStatusLine(QStringLiteral("Searching for URLs"), 6);
    forEachEngine([this](int) { SearchEngine(CurrentEngine); });
    AddStatusLine(QStringLiteral("Done searching for URLs."), 6);
}

void TMainForm::SearchEngine(const QString &engine)
{
    // C.1 The log is made (or emptied) for every engine of the list.
    const QString logPath = ProjectDir + QLatin1Char('/') + SearchLogFileName(engine);
    QFile log(logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        AddStatusLine(QStringLiteral("Cannot open search log for ") + engine + QStringLiteral(": ") + logPath +
                          QLatin1Char('.'),
                      0);
        return;
    }
    const EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    if (!engines->isChecked(engines->indexOf(engine)))
        return;
    SkipEngineFlag = false;
    AddStatusLine(QStringLiteral("Searching for URLs in ") + engine, 1);

    const RunLog debug =
        DebugMode() ? RunLog([this](const QString &text, int kind) { AddStatusLine(text, kind); }) : RunLog();
    const ValueEncoder encoder = [this](const QString &text) { return encodeForRun(text); };
    UrlPass pass(*m_urlTable, QString());
    for (qsizetype j = 0; j < pass.size(); ++j) {
        if (runProjectGone())
            return;
        // D.1–D.3
        SingleProgress = 0;
        Submit.SingleGauge->setValue(0);
        CurrentURL = pass.at(j).url;
        const SearchForm form = ReadSearchForm(CurrentSection, runValues(), encoder, debug);
        m_http->setURL(form.action.toUtf8());
        const bool unsearchable = m_http->URL() == "NONE";
        if (unsearchable)
            SkipEngineFlag = true;
        QString URLPostData = form.postData;
        debugLine(QStringLiteral("URLPostData: ") + URLPostData, 1);
        // D.4–D.5
        m_http->setContentType(QByteArrayLiteral("application/x-www-form-urlencoded"));
        m_http->setPostData(URLPostData.toUtf8());
        m_http->setLocalFile(ProjectDir + QLatin1Char('/') + SearchResponseFileNameFor(ResponseFileCounter));
        if (!unsearchable)
            AddStatusLine(CurrentURL, 5);
        else if (j == 0)
            AddStatusLine(QStringLiteral("URL searching for this engine will be skipped until further notice."), 1);

        // D.6
        if (!SkipEngineFlag) {
            bool failed = false;
            try {
                TimeoutCount = 0;
                Submit.SubmitTimeoutMeter->setValue(0);
                SubmitTimer->start();
                const bool post = form.method == QLatin1String("post");
                if (post || form.method == QLatin1String("get"))
                    sendRequest(post, URLPostData);
                else
                    ClearAnswerBuffer(); // nothing is sent, so nothing can count as answered
            } catch (const std::exception &) {
                failed = true;
            }
            SubmitTimer->stop();

            if (!failed) {
                debugLine(QStringLiteral("ATmpSearchNone: ") + form.none + QLatin1Char(' '), 0);
                m_codec->setInputString(form.none.toUtf8());
                const QString decoded = QString::fromUtf8(m_codec->Decode());
                QApplication::processEvents();
                const QString answer = AnswerText();
                // An empty text never counts as found.
                const qsizetype at = decoded.isEmpty() ? -1 : answer.indexOf(decoded);
                if (DebugMode()) {
                    AddStatusLine(QStringLiteral("DecodedSearchNone: ") + decoded + QLatin1Char(' '), 0);
                    AddStatusLine(QStringLiteral("DecodedSearchNone: ") + decoded + QLatin1Char(' '), 0);
                    AddStatusLine(QStringLiteral("SearchNoneStringExists: ") + QString::number(at + 1), 0);
                    m_platform.messageBox(this, answer, QStringLiteral("SubmitStatusText"), Platform::Ok);
                }
                if (at >= 0) {
                    AddStatusLine(QStringLiteral("Not found: ") + CurrentURL + QLatin1Char(' '), 0);
                    log.write(CurrentURL.toUtf8() + "\r\n");
                }
            } else {
                debugLine(QStringLiteral("Error: ") + QString::fromUtf8(m_http->StatusLine()), 0);
                debugLine(QStringLiteral("HeaderField: ") + LastHeaderField, 0);
                debugLine(QStringLiteral("HeaderValue: ") + LastHeaderValue, 0);
            }
            // The text of one answer, failed ones included, never counts for the next URL.
            ClearAnswerBuffer();
            if (TimedOutFlag) {
                AddStatusLine(QStringLiteral("Timeout: ") + (failed ? engine : CurrentURL), 0);
                TimedOutFlag = false;
            } else if (SkipURLFlag) {
                AddStatusLine(QStringLiteral("Skipped: ") + CurrentURL, 0);
                SkipURLFlag = false;
            } else if (SkipEngineFlag) {
                AddStatusLine(QStringLiteral("Skipped engine: ") + CurrentEngine, 0);
            } else if (StopFlag) {
                AddStatusLine(QStringLiteral("Search project was stopped by the user"), 0);
                return;
            }
            // D.8
            debugLine(QStringLiteral("HTTPClient->URL: ") + QString::fromUtf8(m_http->URL()), 1);
            debugLine(QStringLiteral("Acutal submitted URLPostData: ") + URLPostData, 1);
        }
        // D.9
        AdvanceFullProgress();
        QApplication::processEvents();
        m_http->setAction(httpResetHeaders);
        m_http->setURL(QByteArray());
        ++ResponseFileCounter;
    }
}
