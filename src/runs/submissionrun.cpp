#include "runs/submissionrun.h"

#include "net/httpclient.h"
#include "project/store/enginestate.h"
#include "project/store/urlpass.h"
#include "project/store/urltable.h"
#include "runs/engineform.h"
#include "runs/indexnow.h"
#include "runs/keycheck.h"
#include "runs/runcontrol.h"
#include "runs/runfiles.h"
#include "runs/runobserver.h"
#include "runs/webmasterengines.h"

#include <QDir>

#include <algorithm>

namespace {

// A time as the run's lines give it, in UTC: "2025-03-01 13:30:00".
QString utcText(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
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
        if (m_setup.checkPages)
            checkPages();
        status(QStringLiteral("Processing search engines"), StatusKind::Phase);
        forEachEngine([this](qsizetype i, const EngineSection &section) { submitToEngine(i, section); });
        status(QStringLiteral("Done processing search engines"), StatusKind::Phase);
        tellDepartedPages();
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

void SubmissionRun::writeNotice(const QString &text)
{
    Run::writeNotice(text);
    writeReport(ReportText, noticeReportRow(text));
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
}

void SubmissionRun::checkPages()
{
    // In test mode nothing reaches the sites, as with the key files.
    if (!m_setup.testServer.isEmpty()) {
        writeNotice(QStringLiteral("Test mode: the pages are not checked"));
        return;
    }
    checks::PageCheckOptions options;
    options.perHost = qBound(1, m_setup.settings.checkPerHost, 16);
    options.workers = qMax(options.workers, options.perHost);
    options.timeoutSeconds = m_setup.timeoutSeconds();
    options.scope = m_setup.settings.checkMainContent ? checks::ContentScope::Main : checks::ContentScope::Page;
    auto pass = std::make_unique<PageCheckPass>(m_table, m_setup.settings.projectId);
    PageCheckPass::Hooks hooks;
    hooks.stopRequested = [this] { return m_control.stopRequested(); };
    hooks.progress = [this](int done, int total) { m_observer.runProgress(done, total); };
    hooks.status = [this](const QString &text) { status(text, StatusKind::Phase); };
    // A stopped check decides nothing: the stop ends the run before any engine.
    if (!pass->check(options, hooks))
        return;
    // Told per host, not per URL: a site that is down is one thing to fix.
    for (const QString &line : pass->uncheckedHosts()) {
        status(line, StatusKind::Failure);
        writeReport(ReportText, noticeReportRow(line));
        m_faults << line;
    }
    m_pages = std::move(pass);
}

void SubmissionRun::tellDepartedPages()
{
    if (!m_pages)
        return;
    const QList<PageCheckPass::Departed> pages = m_pages->departedToTell();
    if (pages.isEmpty())
        return;
    writeReport(ReportEngineHeading, QStringLiteral("Pages that went away"));
    for (const PageCheckPass::Departed &page : pages) {
        const QString text = page.url + QStringLiteral(": ") + page.state + QStringLiteral("; ") +
                             (!page.told.isEmpty() ? page.told.join(u"; ")
                              : page.checked       ? QStringLiteral("not announced, the page is still there")
                                                   : QStringLiteral("not announced"));
        status(text, StatusKind::Plain);
        writeReport(ReportText, noticeReportRow(text));
    }
}

void SubmissionRun::submitToEngine(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    // Every engine of the list gets its heading, chosen or not.
    writeReport(ReportEngineHeading, engine);
    if (!isChosen(engine))
        return;
    if (m_pages)
        m_pages->prepareEngine(engine, m_engines.at(index).column);
    if (const WebmasterKind kind = submissionKind(section); kind != WebmasterKind::None) {
        WebmasterEngines(*this).submit(index, section, kind);
    } else {
        const bool indexNow = IndexNow::usesKey(section);
        if (indexNow)
            checkIndexNowKeys();
        if (IndexNow::isBulkEngine(section))
            submitIndexNow(index, section);
        else
            submitForm(index, section, indexNow);
    }
    checkBacklog(engine);
    // The grid shows the flags as the engine left them, also after a stop.
    engineDone();
}

void SubmissionRun::checkBacklog(const QString &engine)
{
    const QStringList waiting = m_waitingForQuota.take(engine);
    // A walk cut short did not see every URL that waits: what it saw proves nothing.
    if (m_control.stopRequested() || m_control.skipEngineRequested())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QHash<QString, QDateTime> since =
        EngineState(m_table).setWaiting(m_setup.settings.projectId, engine, waiting, now);
    int old = 0;
    QDateTime oldest = now;
    for (const QDateTime &began : since) {
        if (began < now.addDays(-BacklogDays)) {
            ++old;
            oldest = qMin(oldest, began);
        }
    }
    if (old == 0)
        return;
    // A quota is no failure, but a backlog that lasts weeks is something to act on.
    const QString text =
        QStringLiteral("%1: %2 waited for the engine's quota for more than %3 days (the oldest since %4)")
            .arg(engine, old == 1 ? QStringLiteral("1 URL has") : QStringLiteral("%1 URLs have").arg(old))
            .arg(BacklogDays)
            .arg(oldest.toString(QStringLiteral("yyyy-MM-dd")));
    status(text, StatusKind::Failure);
    writeReport(ReportText, noticeReportRow(text));
    m_faults << text;
}

void SubmissionRun::submitForm(qsizetype index, const EngineSection &section, bool indexNow)
{
    const QString &engine = m_engines.at(index).name;
    status(QStringLiteral("Submitting URL's to ") + engine, StatusKind::Heading);
    const RunLog debug = debugLog();
    const ValueEncoder encode = encoder();
    QString current; // the URL of the request being answered
    const auto prepare = [&](const QString &url) {
        current = url;
        const QString email = m_setup.settings.pickSenderEmail();
        status(url, StatusKind::Url);
        const SubmissionForm form = ReadSubmissionForm(section, values(engine, url, email), encode, debug);
        debugLine(QStringLiteral("URLPostData: ") + form.postData, StatusKind::Heading);
        UrlRequest prepared;
        prepared.method = form.method;
        prepared.pauseSeconds = form.sleep;
        prepared.limit = form.maxSubmit;
        const bool post = form.method == QLatin1String("post");
        prepared.request.post = post;
        prepared.request.url = address(form.action, post, form.postData);
        prepared.request.postData = post ? form.postData.toUtf8() : QByteArray();
        // Answers are kept only beside a report of this run, which links them.
        if (m_report.isOpen())
            prepared.request.localFile = m_setup.projectDir + QLatin1Char('/') + ResponseFileNameFor(m_answerCounter);
        if (m_pages)
            prepared.refusal = m_pages->refusal(engine, url);
        if (indexNow && !prepared.refusal)
            prepared.refusal = keyMissing(url);
        if (!prepared.refusal && !post && form.method != QLatin1String("get"))
            prepared.refusal = RequestResult(Outcome::UnknownMethod);
        return prepared;
    };
    const auto answered = [&](RequestResult &result) {
        if (m_pages && flagEffect(result.outcome) == FlagEffect::MarkDone)
            m_pages->accepted(engine, {current});
    };
    walkEngine(index, {Telling::Submission, true, prepare, answered});
}

void SubmissionRun::writeEntry(const OutcomeLines &lines, const RequestResult &, const OutcomeSubject &)
{
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

std::optional<RequestResult> SubmissionRun::keyMissing(const QString &url) const
{
    RequestResult kept(Outcome::KeyMissing);
    const QString authority = IndexNow::authorityOf(url);
    if (!m_keyValid)
        kept.reason = QStringLiteral("the project has no valid IndexNow key");
    else if (m_unpublished.contains(authority))
        kept.reason = QStringLiteral("the IndexNow key file of %1 is not published").arg(IndexNow::hostOf(authority));
    else
        return std::nullopt;
    return kept;
}

void SubmissionRun::submitIndexNow(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_engines.at(index).name;
    EngineTally &tally = tallyOf(index);
    status(QStringLiteral("Submitting URL's to ") + engine, StatusKind::Heading);
    const QString key = m_setup.settings.indexNowKey;
    const SubmissionForm form = ReadSubmissionForm(section, values(engine, QString(), QString()), encoder());
    const QByteArray target = address(form.action, true, QString());

    // The URLs still to submit, by authority, in the view's order.
    UrlPass pass(m_table, m_engines.at(index).column);
    QStringList authorities;
    QHash<QString, QStringList> urlsOf;
    const auto take = [&](const QString &url) {
        const QString authority = IndexNow::authorityOf(url);
        if (!urlsOf.contains(authority))
            authorities << authority;
        urlsOf[authority] << url;
    };
    int steps = 0;
    for (qsizetype row = 0; row < pass.size(); ++row) {
        const UrlTable::UrlAndFlag current = pass.at(row);
        const OutcomeSubject subject{Telling::IndexNowBatch, engine, current.url};
        ++steps;
        if (!current.flag.value_or(false)) {
            record(tally, Outcome::Disabled, subject);
            continue;
        }
        std::optional<RequestResult> kept = m_pages ? m_pages->refusal(engine, current.url) : std::nullopt;
        if (kept) {
            // The check judged the page alone: it is told as the URL it is.
            if (flagEffect(kept->outcome) == FlagEffect::MarkDone)
                pass.setFlag(m_setup.settings.projectId, current.url, false);
            record(tally, *kept, {Telling::Submission, engine, current.url});
            continue;
        }
        if ((kept = keyMissing(current.url))) {
            record(tally, *kept, subject);
            continue;
        }
        take(current.url);
    }
    // The pages that went away travel in the same requests: the protocol takes a deleted URL like a changed one.
    QSet<QString> deletions;
    for (const QString &url : m_pages ? m_pages->deletionsFor(engine) : QStringList()) {
        if (const std::optional<RequestResult> kept = keyMissing(url)) {
            m_pages->deletionsAnswered(engine, {url}, *kept);
            ++tally.departedRefused;
            continue;
        }
        deletions.insert(url);
        take(url);
    }
    int budget = qMax(0, form.maxSubmit);
    int done = 0;
    // A stop, Skip Engine, or an answer after which the engine is asked nothing more.
    bool engineOver = m_control.stopRequested() || m_control.skipEngineRequested();
    if (!engineOver && !authorities.isEmpty())
        engineOver = waitsForRetryAfter(index, authorities, urlsOf, deletions);
    for (const QString &authority : authorities) {
        QStringList urls = urlsOf.value(authority);
        const QString host = IndexNow::hostOf(authority);
        while (!urls.isEmpty() && !engineOver) {
            if (budget == 0) {
                record(tally, Outcome::LimitReached, {Telling::IndexNowBatch, engine, host, QString(), urls});
                break;
            }
            const qsizetype size = std::min<qsizetype>({urls.size(), IndexNow::MaxUrlsPerRequest, budget});
            const QStringList batch = urls.mid(0, size);
            urls.remove(0, size);
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
            RequestResult result = IndexNow::readAnswer(m_step.send(request), target);
            const QDateTime until = IndexNow::retryUntil(statusCodeOf(result.statusLine.toUtf8()), result.retryAfter,
                                                         QDateTime::currentDateTimeUtc());
            // The run that was told to wait says until when; the runs that merely wait are silent.
            if (until.isValid() && isFailure(result.outcome))
                result.reason += QStringLiteral("; Retry-After: not before %1 UTC").arg(utcText(until));
            ++m_answerCounter;
            QStringList pages, gone;
            for (const QString &url : batch)
                (deletions.contains(url) ? gone : pages) << url;
            if (flagEffect(result.outcome) == FlagEffect::MarkDone) {
                for (const QString &url : pages)
                    pass.setFlag(m_setup.settings.projectId, url, false);
                if (m_pages)
                    m_pages->accepted(engine, pages);
            }
            if (!gone.isEmpty()) {
                m_pages->deletionsAnswered(engine, gone, result);
                (result.outcome == Outcome::Accepted ? tally.departedAnnounced : tally.departedRefused) +=
                    int(gone.size());
            }
            if (countsTowardLimit(result.outcome))
                budget -= int(size);
            // Whatever became of the request became of each URL it carried.
            record(tally, result, {Telling::IndexNowBatch, engine, host, QString(), batch});
            for (qsizetype i = 0; i < pages.size(); ++i)
                advance();
            done += int(pages.size());
            m_control.clearSkipUrl();
            m_http.setAction(httpResetHeaders);
            const bool away = keepsAway(engine, until);
            engineOver =
                away || endsEngine(result.outcome) || m_control.stopRequested() || m_control.skipEngineRequested();
        }
    }
    // The URLs a stop or a skip kept from being sent are not counted: they were never sent.
    if (m_control.stopRequested()) {
        tell(Outcome::Stopped, {Telling::Submission, engine});
        return;
    }
    if (m_control.skipEngineRequested())
        tell(Outcome::SkippedEngine, {Telling::Submission, engine});
    // The steps of URLs not sent still count as gone through.
    for (int i = done; i < steps; ++i)
        ++m_done;
    m_observer.runProgress(qMin(m_done, m_total), m_total);
}

bool SubmissionRun::waitsForRetryAfter(qsizetype index, const QStringList &authorities,
                                       const QHash<QString, QStringList> &urlsOf, const QSet<QString> &deletions)
{
    const QString &engine = m_engines.at(index).name;
    const QDateTime until = EngineState(m_table).notBefore(engine, QDateTime::currentDateTimeUtc());
    if (!until.isValid())
        return false;
    // The engine's own wish, kept from an earlier run: its URLs wait, and that is no failure.
    RequestResult waiting(Outcome::QuotaReached);
    waiting.reason = QStringLiteral("the engine's Retry-After (not before %1 UTC)").arg(utcText(until));
    QStringList urls, gone;
    for (const QString &authority : authorities)
        for (const QString &url : urlsOf.value(authority))
            (deletions.contains(url) ? gone : urls) << url;
    if (!gone.isEmpty()) {
        m_pages->deletionsAnswered(engine, gone, waiting);
        tallyOf(index).departedRefused += int(gone.size());
    }
    record(tallyOf(index), waiting,
           {Telling::ApiBatch, engine, IndexNow::hostOf(authorities.first()), QString(), urls + gone});
    return true;
}

bool SubmissionRun::keepsAway(const QString &engine, const QDateTime &until)
{
    if (!until.isValid())
        return false;
    EngineState(m_table).setNotBefore(engine, until);
    status(QStringLiteral("%1 asks not to be asked before %2 UTC: it is asked nothing more until then")
               .arg(engine, utcText(until)),
           StatusKind::Plain);
    return true;
}
