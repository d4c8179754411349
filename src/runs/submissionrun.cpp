#include "runs/submissionrun.h"

#include "net/httpclient.h"
#include "net/redirectchain.h"
#include "project/urlpass.h"
#include "project/urltable.h"
#include "runs/engineform.h"
#include "runs/indexnow.h"
#include "runs/keycheck.h"
#include "runs/runcontrol.h"
#include "runs/runfiles.h"
#include "runs/runobserver.h"

#include <QDir>

#include <algorithm>

namespace {

// Where a redirected endpoint points, as a whole address to put in the engine
// list: a relative Location is resolved against the endpoint.
QString movedTo(const QByteArray &endpoint, const QString &location)
{
    net::RedirectChain chain(endpoint);
    const QByteArray wanted = location.toUtf8();
    return QString::fromUtf8(chain.follow(wanted).isEmpty() ? chain.current() : wanted);
}

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

QString SubmissionRun::senderTemplate(const EngineSection &section) const
{
    return engineField(section, EngineField::PostData);
}

void SubmissionRun::body()
{
    if (m_setup.settings.statusLog && !openReport()) {
        m_observer.reportNotCreated();
        status(QStringLiteral("Done submitting to the selected search engines"), StatusKind::Heading);
        return;
    }
    // A flag is written once its URL is accepted; grouped, the writes cost the
    // run little, and a kill can only make a URL be sent again.
    m_table.beginFlagBatch();
    try {
        writeReport(ReportHeader, QString());
        status(QStringLiteral("Processing search engines"), StatusKind::Phase);
        forEachEngine([this](qsizetype i, const EngineSection &section) { submitToEngine(i, section); });
        status(QStringLiteral("Done processing search engines"), StatusKind::Phase);
        writeFooter();
        m_table.endFlagBatch();
    } catch (const std::exception &failure) {
        // The first failure is the one told; the flags written before it are kept if they still can be.
        try {
            m_table.endFlagBatch();
        } catch (const std::exception &) {
        }
        closeReportAfter(QString::fromUtf8(failure.what()));
        throw;
    }
    status(QStringLiteral("Done submitting to the selected search engines"), StatusKind::Heading);
}

bool SubmissionRun::openReport()
{
    QDir().mkpath(m_setup.projectDir);
    m_report.setFileName(m_setup.reportPath);
    if (!m_report.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_reportContext = reportContext();
    return true;
}

QString SubmissionRun::reportWriteError() const
{
    return QStringLiteral("Cannot write %1: %2").arg(m_report.fileName(), m_report.errorString());
}

void SubmissionRun::writeReport(int kind, const QString &text)
{
    // Without the status log option nothing is written, and no answer is kept.
    if (!m_report.isOpen())
        return;
    if (!WriteReport(m_report, kind, text, m_reportContext)) {
        const QString failure = reportWriteError();
        m_report.close(); // nothing more goes to a report that lost a piece
        throw RunWriteError(failure);
    }
    if (kind == ReportText)
        m_observer.reportWritten(text);
}

void SubmissionRun::writeFooter()
{
    if (!m_report.isOpen())
        return;
    if (!WriteReportFooter(m_report, tally())) {
        const QString failure = reportWriteError();
        m_report.close();
        throw RunWriteError(failure);
    }
    m_report.close();
}

void SubmissionRun::closeReportAfter(const QString &failure)
{
    if (!m_report.isOpen())
        return;
    if (WriteReport(m_report, ReportText, noticeReportRow(QStringLiteral("The run stopped: ") + failure),
                    m_reportContext))
        WriteReportFooter(m_report, tally());
    m_report.close();
}

void SubmissionRun::engineSectionBroken(qsizetype index, const QString &problem)
{
    writeReport(ReportEngineHeading, m_engines.at(index).name);
    writeReport(ReportText, engineListProblemReportRow(problem));
    Run::engineSectionBroken(index, problem);
}

void SubmissionRun::engineDone()
{
    m_table.endFlagBatch();
    m_table.beginFlagBatch();
    refreshTable();
}

void SubmissionRun::submitToEngine(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    // Every engine of the list gets its heading, chosen or not.
    writeReport(ReportEngineHeading, engine);
    if (!isChosen(engine))
        return;
    const bool indexNow = IndexNow::usesKey(section);
    if (indexNow)
        checkIndexNowKeys();
    if (IndexNow::isBulkEngine(section))
        submitIndexNow(index, section);
    else
        submitForm(index, section, indexNow);
    // The grid shows the flags as the engine left them, also after a stop.
    engineDone();
}

void SubmissionRun::submitForm(qsizetype index, const EngineSection &section, bool indexNow)
{
    const QString &engine = m_engines.at(index).name;
    EngineTally &tally = tallyOf(index);
    m_control.clearSkipEngine();
    status(QStringLiteral("Submitting URL's to ") + engine, StatusKind::Heading);
    int submitted = 0;
    bool skipReported = false;
    const RunLog debug = debugLog();
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
        const QString obstacle = indexNow && enabled ? indexNowObstacle(url) : QString();
        if (!enabled) {
            m_control.clearSkipUrl();
            result.outcome = Outcome::Disabled;
        } else if (!obstacle.isEmpty()) {
            result.outcome = Outcome::KeyMissing;
            result.reason = obstacle;
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
        debugLine(QStringLiteral("Acutal submitted URLPostData: ") + (post ? form.postData : QString::fromUtf8(target)),
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

void SubmissionRun::record(EngineTally &tally, const RequestResult &result, const QString &engine, const QString &url,
                           const QString &method)
{
    tell(result, engine, url, method);
    count(tally, result);
}

void SubmissionRun::tell(const RequestResult &result, const QString &engine, const QString &url, const QString &method)
{
    const OutcomeLines lines = submissionOutcomeLines(result, engine, url, method);
    if (!lines.statusLine.isEmpty())
        status(lines.statusLine, lines.kind);
    if (!lines.reportRow.isEmpty())
        writeReport(ReportText, lines.reportRow);
}

void SubmissionRun::checkIndexNowKeys()
{
    if (m_keysChecked)
        return;
    m_keysChecked = true;
    const QString key = m_setup.settings.indexNowKey;
    m_keyValid = ProjectSettings::isValidIndexNowKey(key);
    if (!m_keyValid) {
        const QString text = QStringLiteral("IndexNow: the project has no valid key (8 to 128 letters, digits and "
                                            "\"-\"); nothing is sent to IndexNow engines.");
        status(text, StatusKind::Failure);
        writeReport(ReportText, engineListProblemReportRow(text));
        m_notices << text;
        return;
    }
    // In test mode nothing reaches the sites, so there is nothing to check there.
    if (!m_setup.testServer.isEmpty())
        return;
    QStringList authorities;
    for (const UrlTable::UrlRow &row : m_table.viewRows(QString())) {
        const QString authority = IndexNow::authorityOf(row.url);
        if (!authority.isEmpty() && !authorities.contains(authority))
            authorities << authority;
    }
    for (const QString &authority : authorities) {
        if (m_control.stopRequested())
            return;
        const QString location = IndexNow::keyLocation(authority, key);
        status(QStringLiteral("IndexNow: checking the key file ") + location, StatusKind::Url);
        const KeyFileCheck check = CheckIndexNowKeyFile(m_http, location, key, m_setup.timeoutSeconds(),
                                                        [this] { return m_control.stopRequested(); });
        // A stopped check proves nothing either way; the stop ends the run before any request.
        if (m_control.stopRequested())
            return;
        const QString host = IndexNow::hostOf(authority);
        if (check.problem.isEmpty()) {
            if (check.redirected()) {
                // The engines fetch the key file themselves, and not every one follows a redirect.
                const QString text = QStringLiteral("IndexNow: the key file of %1 is published at %2 after a "
                                                    "redirect; an engine may not follow it")
                                         .arg(host, check.finalUrl);
                status(text, StatusKind::Plain);
                writeReport(ReportText, noticeReportRow(text));
            }
            continue;
        }
        m_unpublished.insert(authority, check.problem);
        const QString text = QStringLiteral("IndexNow: the key file %1 is not published (%2); the URLs of %3 are "
                                            "not sent to IndexNow engines in this run.")
                                 .arg(location, check.problem, host);
        status(text, StatusKind::Failure);
        writeReport(ReportText, engineListProblemReportRow(text));
        m_notices << text;
    }
}

QString SubmissionRun::indexNowObstacle(const QString &url) const
{
    if (!m_keyValid)
        return QStringLiteral("the project has no valid IndexNow key");
    const QString authority = IndexNow::authorityOf(url);
    if (m_unpublished.contains(authority))
        return QStringLiteral("the IndexNow key file of %1 is not published").arg(IndexNow::hostOf(authority));
    return {};
}

void SubmissionRun::submitIndexNow(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    EngineTally &tally = tallyOf(index);
    m_control.clearSkipEngine();
    status(QStringLiteral("Submitting URL's to ") + engine, StatusKind::Heading);
    const QString key = m_setup.settings.indexNowKey;
    const SubmissionForm form = ReadSubmissionForm(section, values(engine, QString(), QString()), encoder());
    const QByteArray target = address(form.action, true, QString());

    // The URLs still to submit, by authority, in the view's order.
    UrlPass pass(m_table, m_engines.at(index).column);
    QStringList authorities;
    QHash<QString, QStringList> urlsOf;
    int steps = 0;
    for (qsizetype row = 0; row < pass.size(); ++row) {
        const UrlTable::UrlAndFlag current = pass.at(row);
        ++steps;
        if (!current.flag.value_or(false)) {
            count(tally, Outcome::Disabled);
            continue;
        }
        if (!indexNowObstacle(current.url).isEmpty()) {
            count(tally, Outcome::KeyMissing);
            continue;
        }
        const QString authority = IndexNow::authorityOf(current.url);
        if (!urlsOf.contains(authority))
            authorities << authority;
        urlsOf[authority] << current.url;
    }
    int budget = qMax(0, form.maxSubmit);
    int done = 0;
    bool engineDone = false;
    for (const QString &authority : authorities) {
        QStringList urls = urlsOf.value(authority);
        while (!urls.isEmpty()) {
            if (m_control.stopRequested() || m_control.skipEngineRequested())
                break;
            if (budget == 0) {
                count(tally, Outcome::LimitReached, int(urls.size()));
                status(QStringLiteral("Skipped, the engine's limit is reached: %1 URLs of %2")
                           .arg(urls.size())
                           .arg(IndexNow::hostOf(authority)),
                       StatusKind::Plain);
                break;
            }
            const qsizetype size = std::min<qsizetype>({urls.size(), IndexNow::MaxUrlsPerRequest, budget});
            const QStringList batch = urls.mid(0, size);
            urls.remove(0, size);
            const QString host = IndexNow::hostOf(authority);
            status(QStringLiteral("IndexNow: %1 URLs of %2").arg(size).arg(host), StatusKind::Url);
            RequestStep::Request request;
            request.post = true;
            request.url = target;
            request.postData = IndexNow::requestBody(host, key, IndexNow::keyLocation(authority, key), batch);
            request.contentType = QByteArrayLiteral("application/json; charset=utf-8");
            if (m_report.isOpen())
                request.localFile = m_setup.projectDir + QLatin1Char('/') + ResponseFileNameFor(m_answerCounter);
            request.timeoutSeconds = m_setup.timeoutSeconds();
            tally.sent += int(size);
            RequestResult result = m_step.send(request);
            ++m_answerCounter;
            const QString statusLine = QString::fromUtf8(m_step.statusLine());
            const int code = statusCodeOf(m_step.statusLine());
            // The protocol accepts with 200 or 202 only: another 2xx, or a redirection, takes no URL.
            if (result.outcome == Outcome::Redirected) {
                result.outcome = Outcome::Failed;
                result.reason = QStringLiteral("the endpoint moved to ") + movedTo(target, result.location) +
                                QStringLiteral("; update the engine list");
            } else if (result.outcome == Outcome::Accepted && !IndexNow::accepts(code)) {
                result.outcome = Outcome::Failed;
                result.reason = statusLine;
            }
            QString outcome;
            if (result.outcome == Outcome::Accepted) {
                for (const QString &url : batch)
                    pass.setFlag(m_setup.settings.projectId, url, false);
                budget -= int(size);
                outcome = QStringLiteral("accepted (") + statusLine + u')';
            } else if (result.outcome == Outcome::Failed) {
                const QString meaning = IndexNow::meaningOf(code);
                if (!meaning.isEmpty())
                    result.reason = meaning + QStringLiteral(" (") + result.reason + u')';
                outcome = result.reason;
                if (code == 429) {
                    // The engine asks for fewer requests: none more in this run.
                    outcome += QStringLiteral("; no further request to %1 in this run, its URLs stay to be submitted")
                                   .arg(engine);
                    engineDone = true;
                }
            } else {
                outcome = submissionOutcomeLines(result, engine, host, QString()).statusLine;
            }
            // Whatever became of the request became of each URL it carried.
            count(tally, result, int(size));
            const bool failed = result.outcome != Outcome::Accepted;
            status(QStringLiteral("IndexNow: %1 URLs of %2: %3").arg(size).arg(host, outcome),
                   failed ? StatusKind::Failure : StatusKind::Plain);
            writeReport(ReportText, indexNowReportRow(batch, host, outcome, result.answerFile, result.answerCut));
            for (qsizetype i = 0; i < size; ++i)
                advance();
            done += int(size);
            if (result.outcome == Outcome::SkippedUrl)
                m_control.clearSkipUrl();
            if (engineDone)
                break;
            m_http.setAction(httpResetHeaders);
        }
        if (engineDone || m_control.stopRequested() || m_control.skipEngineRequested())
            break;
    }
    // The URLs a stop or a skip kept from being sent are not counted: they were never sent.
    if (m_control.stopRequested()) {
        tell(Outcome::Stopped, engine, QString(), QString());
        return;
    }
    if (m_control.skipEngineRequested())
        tell(Outcome::SkippedEngine, engine, QString(), QString());
    // The steps of URLs not sent still count as gone through.
    for (int i = done; i < steps; ++i)
        ++m_done;
    m_observer.runProgress(qMin(m_done, m_total), m_total);
}
