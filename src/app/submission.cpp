// The submission run: every URL of the open project to every checked engine,
// one request each, with the outcome in the status log, the report and the
// URL table's engine columns.

#include "app/mainform.h"
#include "app/platform.h"
#include "engines/ui/enginechecklist.h"
#include "net/httpclient.h"
#include "project/urlpass.h"
#include "project/urltable.h"
#include "runs/engineform.h"
#include "runs/report.h"
#include "runs/runfiles.h"
#include "runs/ui/gauge.h"
#include "runs/ui/timeoutmeter.h"

#include <QApplication>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

namespace {

// An engine list asking for a longer pause would freeze the window for good.
constexpr int MaxPauseSeconds = 300;

enum class Sent { Nothing, Request, LimitReached, Disabled, UnknownMethod };

} // namespace

void TMainForm::SubmitBitBtnClick()
{
    if (m_runInProgress)
        return;
    const auto end = qScopeGuard([this] { endRun(); });
    try {
        if (!startRun(QStringLiteral("PR_")))
            return;
        if (StatusLogOn) {
            if (!openRunReport()) {
                m_platform.messageBox(this, QStringLiteral("Unable to create Status Log."), QStringLiteral("Error"),
                                      Platform::Ok, Platform::Icon::Error);
            } else {
                writeRunReport(ReportHeader, QString());
                StopFlag = false;
                ProcessEngines(1);
                writeRunReport(ReportFooter, QString());
                closeRunReport();
            }
        } else {
            StopFlag = false;
            ProcessEngines(1);
        }
        finishRun(QStringLiteral("Done submitting to the selected search engines"));
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
}

void TMainForm::SubmitEngines()
{
    AddStatusLine(QStringLiteral("Processing search engines"), 6);
    forEachEngine([this](int i) {
        // Every engine of the list gets its heading, checked or not.
        writeRunReport(ReportEngineHeading, CurrentEngine);
        SubmitToEngine(CurrentEngine, EngineTable[size_t(i)].column);
    });
    AddStatusLine(QStringLiteral("Done processing search engines"), 6);
}

void TMainForm::forEachEngine(const std::function<void(int index)> &visit)
{
    Submit.SingleGauge->setValue(0);
    Submit.FullGauge->setValue(0);
    for (int i = 0; i < EngineCount; ++i) {
        if (StopFlag || runProjectGone()) {
            Submit.SingleGauge->setValue(0);
            Submit.FullGauge->setValue(0);
            break;
        }
        CurrentEngine = Settings.SettingsSearchEnginesCheckList->text(i);
        ClearEngineSection();
        AddStatusLine(QStringLiteral("Processing: ") + CurrentEngine, 6);
        ReadEngineSection(CurrentEngine);
        try {
            visit(i);
        } catch (const std::exception &) {
            // One engine's trouble never ends the run.
        }
    }
    ClearEngineSection();
}

void TMainForm::SubmitToEngine(const QString &engine, const QString &column)
{
    const EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    if (!engines->isChecked(engines->indexOf(engine)))
        return;
    SkipEngineFlag = false;
    AddStatusLine(QStringLiteral("Submitting URL's to ") + engine, 1);
    int SubmittedCount = 0;
    // The grid shows the flags as the engine left them, also after a stop.
    const auto refresh = qScopeGuard([this] {
        try {
            m_urlTable->reopen();
        } catch (const std::exception &) {
        }
    });
    const RunLog debug =
        DebugMode() ? RunLog([this](const QString &text, int kind) { AddStatusLine(text, kind); }) : RunLog();
    const ValueEncoder encoder = [this](const QString &text) { return encodeForRun(text); };

    UrlPass pass(*m_urlTable, column);
    for (qsizetype row = 0; row < pass.size(); ++row) {
        if (runProjectGone())
            return;
        // 1.–2.
        SingleProgress = 0;
        Submit.SingleGauge->setValue(0);
        PickSenderEmail();
        // A column that cannot be read leaves the URL disabled: nothing is sent that could not be recorded.
        const UrlTable::UrlAndFlag current = pass.at(row);
        CurrentURL = current.url;
        const bool enabled = current.flag.value_or(false);
        // 3.–7.
        if (!SkipEngineFlag)
            AddStatusLine(CurrentURL, 5);
        const SubmissionForm form = ReadSubmissionForm(CurrentSection, runValues(), encoder, debug);
        QString URLPostData = form.postData;
        m_http->setURL(form.action.toUtf8());
        debugLine(QStringLiteral("URLPostData: ") + URLPostData, 1);
        m_http->setContentType(QByteArrayLiteral("application/x-www-form-urlencoded"));
        m_http->setPostData(URLPostData.toUtf8());
        ResponseFileName = ResponseFileNameFor(ResponseFileCounter);
        ResponseFilePath = ProjectDir + QLatin1Char('/') + ResponseFileName;
        // Answers are kept only beside a report of this run, which links them.
        m_http->setLocalFile(m_report ? ResponseFilePath : QString());

        if (!SkipEngineFlag) {
            // 9. The guarded block.
            Sent sent = Sent::Nothing;
            bool failed = false;
            try {
                TimeoutCount = 0;
                Submit.SubmitTimeoutMeter->setValue(0);
                SubmitTimer->start();
                if (form.sleep > 0)
                    AddStatusLine(QStringLiteral("Waiting: ") + QString::number(form.sleep) +
                                      QStringLiteral(" seconds before submitting this URL."),
                                  0);
                const bool post = form.method == QLatin1String("post");
                if (!enabled) {
                    AddStatusLine(QStringLiteral("Disabled: ") + CurrentURL, 0);
                    SkipURLFlag = false;
                    sent = Sent::Disabled;
                } else if (!post && form.method != QLatin1String("get")) {
                    sent = Sent::UnknownMethod; // nothing is sent, so the column stays true
                } else if (SubmittedCount < form.maxSubmit) {
                    ++SubmittedCount;
                    sent = Sent::Request;
                    pass.setFlag(ProjectId, CurrentURL, false);
                    if (form.sleep > 0)
                        QThread::sleep(unsigned(qMin(form.sleep, MaxPauseSeconds)));
                    sendRequest(post, URLPostData);
                } else {
                    SkipURLFlag = true; // the engine's limit for this run is reached
                    sent = Sent::LimitReached;
                }
            } catch (const std::exception &) {
                failed = true;
            }
            // No timer may outlive its request: a late tick would time out the next one.
            SubmitTimer->stop();

            // 10. The outcome.
            const QString url = CurrentURL;
            if (failed) {
                debugLine(QStringLiteral("Error: ") + QString::fromUtf8(m_http->StatusLine()), 0);
                debugLine(QStringLiteral("HeaderField: ") + LastHeaderField, 0);
                debugLine(QStringLiteral("HeaderValue: ") + LastHeaderValue, 0);
            }
            if (TimedOutFlag) {
                AddStatusLine(QStringLiteral("Timeout: ") + (failed ? CurrentEngine : url), 0);
                writeRunReport(ReportText, timeoutReportRow(url));
                TimedOutFlag = false;
            } else if (!failed && !enabled) {
                writeRunReport(ReportText, disabledReportRow(url));
            } else if (SkipURLFlag) {
                AddStatusLine(QStringLiteral("Skipped: ") + url, 0);
                writeRunReport(ReportText, skippedReportRow(url));
                SkipURLFlag = false;
            } else if (SkipEngineFlag) {
                AddStatusLine(QStringLiteral("Skipped engine: ") + CurrentEngine, 0);
                writeRunReport(ReportText, skippedEngineReportRow(CurrentEngine));
            } else if (StopFlag) {
                AddStatusLine(QStringLiteral("Submission project was stopped by the user"), 0);
                writeRunReport(ReportText, stoppedReportRow());
                return;
            } else if (sent == Sent::UnknownMethod) {
                AddStatusLine(QStringLiteral("Not submitted, the method \"") + form.method +
                                  QStringLiteral("\" is neither post nor get: ") + url,
                              0);
                writeRunReport(ReportText, errorAccessingReportRow(CurrentEngine, url));
            } else if (!failed) {
                writeRunReport(ReportURLRow, url);
            } else if (!m_answerLocation.isEmpty()) {
                // A redirection counts as accepted.
                writeRunReport(ReportText, redirectionReportRow(url, m_answerLocation));
            } else {
                writeRunReport(ReportText, errorAccessingReportRow(CurrentEngine, url));
                if (sent == Sent::Request) {
                    // Tried again in a later run, without using up this run's limit.
                    --SubmittedCount;
                    pass.setFlag(ProjectId, url, true);
                }
            }
            // 11.
            debugLine(QStringLiteral("HTTPClient->URL: ") + QString::fromUtf8(m_http->URL()), 1);
            debugLine(QStringLiteral("Acutal submitted URLPostData: ") + URLPostData, 1);
        }
        AdvanceFullProgress();
        QApplication::processEvents();
        m_http->setAction(httpResetHeaders);
        m_http->setURL(QByteArray());
        ++ResponseFileCounter;
    }
}
