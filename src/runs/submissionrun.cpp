#include "runs/submissionrun.h"

#include "net/httpclient.h"
#include "project/urlpass.h"
#include "project/urltable.h"
#include "runs/engineform.h"
#include "runs/runcontrol.h"
#include "runs/runfiles.h"
#include "runs/runobserver.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QScopeGuard>
#include <QTime>

namespace {

// An engine list asking for a longer pause would hold the run for good.
constexpr int MaxPauseSeconds = 300;

// Why a pause ended early.
Outcome pauseOutcome(const RunControl &control)
{
    if (control.stopRequested())
        return Outcome::Stopped;
    if (control.skipEngineRequested())
        return Outcome::SkippedEngine;
    return Outcome::SkippedUrl;
}

} // namespace

void SubmissionRun::body()
{
    // A flag is written once its URL is accepted; grouped, the writes cost the
    // run little, and a kill can only make a URL be sent again.
    m_table.beginFlagBatch();
    const auto commit = qScopeGuard([this] { m_table.endFlagBatch(); });
    if (m_setup.settings.statusLog) {
        if (!openReport()) {
            m_observer.reportNotCreated();
        } else {
            writeReport(ReportHeader, QString());
            status(QStringLiteral("Processing search engines"), StatusKind::Phase);
            forEachEngine([this](qsizetype i, const EngineSection &section) { submitToEngine(i, section); });
            status(QStringLiteral("Done processing search engines"), StatusKind::Phase);
            writeReport(ReportFooter, QString());
            m_report.close();
        }
    } else {
        status(QStringLiteral("Processing search engines"), StatusKind::Phase);
        forEachEngine([this](qsizetype i, const EngineSection &section) { submitToEngine(i, section); });
        status(QStringLiteral("Done processing search engines"), StatusKind::Phase);
    }
    status(QStringLiteral("Done submitting to the selected search engines"), StatusKind::Heading);
}

bool SubmissionRun::openReport()
{
    QDir().mkpath(m_setup.projectDir);
    m_report.setFileName(m_setup.reportPath);
    if (!m_report.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QLocale locale = QLocale::system();
    m_reportContext = m_setup.report;
    m_reportContext.ProjectFile = m_setup.projectFile;
    m_reportContext.DateText = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    m_reportContext.TimeText = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    return true;
}

void SubmissionRun::writeReport(int kind, const QString &text)
{
    // Without the status log option nothing is written, and no answer is kept.
    if (!m_report.isOpen())
        return;
    WriteReport(m_report, kind, text, m_reportContext);
    if (kind == ReportText)
        m_observer.reportWritten(text);
}

void SubmissionRun::engineSectionBroken(qsizetype index, const QString &problem)
{
    writeReport(ReportEngineHeading, m_engines.at(index).name);
    writeReport(ReportText, engineListProblemReportRow(problem));
    Run::engineSectionBroken(index, problem);
}

void SubmissionRun::submitToEngine(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    // Every engine of the list gets its heading, chosen or not.
    writeReport(ReportEngineHeading, engine);
    if (!isChosen(engine))
        return;
    EngineTally &tally = tallyOf(index);
    m_control.clearSkipEngine();
    status(QStringLiteral("Submitting URL's to ") + engine, StatusKind::Heading);
    int submitted = 0;
    bool skipReported = false;
    // The grid shows the flags as the engine left them, also after a stop.
    const auto refresh = qScopeGuard([this] {
        try {
            m_table.reopen();
        } catch (const std::exception &) {
        }
    });
    const RunLog debug = m_setup.debug ? RunLog([this](const QString &text, int kind) {
        status(text, StatusKind(kind));
    })
                                       : RunLog();
    const ValueEncoder encode = encoder();
    const int projectId = m_setup.settings.projectId;

    UrlPass pass(m_table, m_engines.at(index).column);
    for (qsizetype row = 0; row < pass.size(); ++row, ++m_answerCounter) {
        m_observer.requestProgress(0);
        // A stop taken between two requests sends nothing more.
        if (m_control.stopRequested()) {
            record(tally, Outcome::Stopped, engine, pass.at(row).url, QString());
            return;
        }
        if (m_control.skipEngineRequested()) {
            // The rest of the engine is passed over; it still counts as gone through.
            if (!skipReported)
                record(tally, Outcome::SkippedEngine, engine, pass.at(row).url, QString());
            skipReported = true;
            advance();
            continue;
        }
        const QString email = m_setup.settings.pickSenderEmail();
        // A column that cannot be read leaves the URL disabled: nothing is sent that could not be recorded.
        const UrlTable::UrlAndFlag current = pass.at(row);
        const QString url = current.url;
        const bool enabled = current.flag.value_or(false);
        status(url, StatusKind::Url);
        const SubmissionForm form = ReadSubmissionForm(section, values(engine, url, email), encode, debug);
        debugLine(QStringLiteral("URLPostData: ") + form.postData, StatusKind::Heading);
        if (form.sleep > 0)
            status(QStringLiteral("Waiting: ") + QString::number(form.sleep) +
                       QStringLiteral(" seconds before submitting this URL."),
                   StatusKind::Plain);

        const bool post = form.method == QLatin1String("post");
        const QByteArray target = address(form.action, post, form.postData);
        RequestResult result;
        if (!enabled) {
            m_control.clearSkipUrl();
            result.outcome = Outcome::Disabled;
        } else if (!post && form.method != QLatin1String("get")) {
            result.outcome = Outcome::UnknownMethod; // nothing is sent, so the URL stays to do
        } else if (submitted >= form.maxSubmit) {
            m_control.clearSkipUrl();
            result.outcome = Outcome::LimitReached;
        } else if (form.sleep > 0 && !m_control.pause(qMin(form.sleep, MaxPauseSeconds))) {
            result.outcome = pauseOutcome(m_control);
        } else {
            RequestStep::Request request;
            request.post = post;
            request.url = target;
            request.postData = post ? form.postData.toUtf8() : QByteArray();
            // Answers are kept only beside a report of this run, which links them.
            if (m_report.isOpen())
                request.localFile = m_setup.projectDir + QLatin1Char('/') + ResponseFileNameFor(m_answerCounter);
            request.timeoutSeconds = m_setup.timeoutSeconds();
            ++tally.sent;
            result = m_step.send(request);
        }
        if (flagEffect(result.outcome) == FlagEffect::MarkDone) {
            ++submitted;
            pass.setFlag(projectId, url, false);
        }
        if (result.outcome == Outcome::Failed) {
            debugLine(QStringLiteral("Error: ") + QString::fromUtf8(m_step.statusLine()), StatusKind::Plain);
            debugLine(QStringLiteral("HeaderField: ") + m_step.lastHeaderField(), StatusKind::Plain);
            debugLine(QStringLiteral("HeaderValue: ") + m_step.lastHeaderValue(), StatusKind::Plain);
        }
        record(tally, result, engine, url, form.method);
        if (result.outcome == Outcome::SkippedUrl)
            m_control.clearSkipUrl();
        skipReported = skipReported || result.outcome == Outcome::SkippedEngine;
        debugLine(QStringLiteral("HTTPClient->URL: ") + QString::fromUtf8(target), StatusKind::Heading);
        debugLine(QStringLiteral("Acutal submitted URLPostData: ") +
                      (post ? form.postData : QString::fromUtf8(target)),
                  StatusKind::Heading);
        if (m_control.stopRequested()) {
            if (result.outcome != Outcome::Stopped)
                record(tally, Outcome::Stopped, engine, url, form.method);
            return;
        }
        advance();
        m_http.setAction(httpResetHeaders);
    }
}

void SubmissionRun::record(EngineTally &tally, const RequestResult &result, const QString &engine,
                           const QString &url, const QString &method)
{
    const OutcomeLines lines = submissionOutcomeLines(result, engine, url, method);
    if (!lines.statusLine.isEmpty())
        status(lines.statusLine, lines.kind);
    if (!lines.reportRow.isEmpty())
        writeReport(ReportText, lines.reportRow);
    count(tally, result.outcome);
}
