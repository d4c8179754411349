#include "runs/webmasterengines.h"

#include "engines/enginelist.h"
#include "engines/enginelistdownload.h"
#include "net/httpclient.h"
#include "project/store/enginestate.h"
#include "project/store/sitemapfileonly.h"
#include "project/store/urlpass.h"
#include "project/store/urltable.h"
#include "runs/indexnow.h"
#include "runs/pagecheckpass.h"
#include "runs/run.h"
#include "runs/runcontrol.h"
#include "webmaster/bingapikey.h"
#include "webmaster/bingbatches.h"
#include "webmaster/bingwebmaster.h"
#include "webmaster/googleoutcome.h"
#include "webmaster/googletoken.h"
#include "webmaster/quotapacer.h"
#include "webmaster/searchconsole.h"
#include "webmaster/secretdestination.h"
#include "webmaster/serviceaccount.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <optional>

using namespace webmaster;

namespace {

const QString SearchConsoleName = QStringLiteral("searchconsole");
const QString BingWebmasterName = QStringLiteral("bingwebmaster");

WebmasterKind kindNamed(const QString &name)
{
    if (name == SearchConsoleName)
        return WebmasterKind::SearchConsole;
    if (name == BingWebmasterName)
        return WebmasterKind::BingWebmaster;
    return WebmasterKind::None;
}

// Why the run control ended a call, as a pause's end is read.
Outcome interrupted(const RunControl &control)
{
    if (control.stopRequested())
        return Outcome::Stopped;
    if (control.skipEngineRequested())
        return Outcome::SkippedEngine;
    return Outcome::SkippedUrl;
}

RequestResult withReason(Outcome outcome, const QString &reason)
{
    RequestResult result(outcome);
    result.reason = reason;
    return result;
}

bool isWebAddress(const QString &text)
{
    return text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive);
}

// A quota's refusal of a call for many URLs reads "N URLs wait for the next run (...)".
RequestResult forManyUrls(RequestResult result)
{
    if (result.outcome == Outcome::QuotaReached)
        result.reason = QStringLiteral("the next run (") + result.reason + u')';
    return result;
}

// The site Bing knows a URL under: the project's, or the URL's own root.
QString bingSiteOf(const QString &projectSite, const QString &url)
{
    return projectSite.isEmpty() ? IndexNow::authorityOf(url) + u'/' : projectSite;
}

} // namespace

WebmasterKind submissionKind(const EngineSection &section)
{
    return kindNamed(engineField(section, EngineField::Method));
}

WebmasterKind searchKind(const EngineSection &section)
{
    return kindNamed(engineField(section, EngineField::SearchPostData));
}

RequestResult googleResult(const GoogleCall &call, const RunControl &control)
{
    RequestResult result;
    switch (call.outcome) {
    case GoogleOutcome::Ok:
        result.outcome = Outcome::Accepted;
        break;
    case GoogleOutcome::QuotaExhausted:
        result = withReason(Outcome::QuotaReached, call.message);
        break;
    case GoogleOutcome::KeyRejected:
    case GoogleOutcome::NoPermission:
    case GoogleOutcome::BadAddress:
        result = withReason(Outcome::EngineUnusable, call.message);
        break;
    case GoogleOutcome::TimedOut:
        result.outcome = Outcome::TimedOut;
        break;
    case GoogleOutcome::Stopped:
        result.outcome = interrupted(control);
        break;
    case GoogleOutcome::ServerFailure:
    case GoogleOutcome::Refused:
    case GoogleOutcome::NetworkFailure:
    case GoogleOutcome::BadAnswer:
        result = withReason(Outcome::Failed, call.message);
        break;
    }
    if (call.status >= 0)
        result.statusLine = QStringLiteral("HTTP %1").arg(call.status);
    return result;
}

RequestResult bingResult(const BingResult &answer, const RunControl &control)
{
    RequestResult result;
    switch (answer.outcome) {
    case BingOutcome::Ok:
        result.outcome = Outcome::Accepted;
        break;
    case BingOutcome::QuotaUsedUp:
        result = withReason(Outcome::QuotaReached, answer.message);
        break;
    case BingOutcome::Throttled:
        result = withReason(Outcome::TooManyRequests, answer.message);
        break;
    case BingOutcome::InvalidKey:
    case BingOutcome::NotAuthorized:
        result = withReason(Outcome::EngineUnusable, answer.message);
        break;
    case BingOutcome::TimedOut:
        result.outcome = Outcome::TimedOut;
        break;
    case BingOutcome::Stopped:
        result.outcome = interrupted(control);
        break;
    case BingOutcome::InvalidUrl:
    case BingOutcome::ApiError:
    case BingOutcome::ServerError:
    case BingOutcome::BadAnswer:
    case BingOutcome::NetworkError:
        result = withReason(Outcome::Failed, answer.message);
        break;
    }
    if (answer.httpStatus >= 0)
        result.statusLine = QStringLiteral("HTTP %1").arg(answer.httpStatus);
    return result;
}

QDate googleQuotaDay(qint64 nowMs)
{
    return QDate(1970, 1, 1).addDays(QuotaPacer::quotaDay(nowMs));
}

void WebmasterEngines::submit(qsizetype index, const EngineSection &section, WebmasterKind kind)
{
    m_run.status(QStringLiteral("Submitting URL's to ") + m_run.m_engines.at(index).name, StatusKind::Heading);
    if (kind == WebmasterKind::SearchConsole)
        submitToGoogle(index, section);
    else if (kind == WebmasterKind::BingWebmaster)
        submitToBing(index, section);
}

void WebmasterEngines::search(qsizetype index, const EngineSection &section, WebmasterKind kind)
{
    if (kind == WebmasterKind::SearchConsole)
        searchGoogle(index, section);
    else if (kind == WebmasterKind::BingWebmaster)
        searchBing(index, section);
}

void WebmasterEngines::submitToGoogle(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_run.m_engines.at(index).name;
    const ProjectSettings &settings = m_run.m_setup.settings;
    const QString &property = settings.googleProperty;
    QStringList urls = pending(index);
    if (urls.isEmpty())
        return;
    const QByteArray base = engineField(section, EngineField::Action).toUtf8();
    if (const QString why = refusal(base, CredentialService::Google); !why.isEmpty())
        return unusable(index, property, urls, why);
    if (property.isEmpty())
        return unusable(index, property, urls,
                        QStringLiteral("the project names no Search Console property ([Google] Property)"));
    // Search Console reads sitemaps from the site; a file here is of no use to it.
    QStringList addresses, files;
    for (const QString &sitemap : EngineState(m_run.m_table).sitemaps(settings.projectId)) {
        if (isWebAddress(sitemap))
            addresses << sitemap;
        else
            files << sitemap;
    }
    for (const QString &file : files)
        m_run.writeNotice(QStringLiteral("%1: the sitemap file %2 is not submitted: Search Console takes "
                                         "sitemap addresses only")
                              .arg(engine, file));
    if (addresses.isEmpty())
        return unusable(index, property, urls,
                        QStringLiteral("the project has no sitemap address to give Search Console; import one "
                                       "with /sitemap"));
    urls = coveredByAddresses(index, property, urls, files);
    if (urls.isEmpty())
        return;
    const QString keyFile = googleKeyFilePath(settings.googleKeyFile);
    if (keyFile.isEmpty())
        return unusable(index, property, urls,
                        QStringLiteral("no service-account key file: name one as [Google] KeyFile, or set "
                                       "GOOGLE_APPLICATION_CREDENTIALS"));
    const ServiceAccountFile key = readServiceAccount(keyFilePath(keyFile));
    if (!key.ok())
        return unusable(index, property, urls, key.problem);

    GoogleToken token(key.account, [this] { return nowMs() / 1000; });
    SearchConsole console(token, m_run.m_http, {m_run.m_setup.timeoutSeconds(), interruption()});
    m_run.tallyOf(index).sent += int(urls.size());
    for (const QString &address : addresses) {
        m_run.status(QStringLiteral("%1: submitting the sitemap %2").arg(engine, address), StatusKind::Url);
        const GoogleCall call = console.submitSitemap(base, property, address.toUtf8());
        if (!call.ok()) {
            recordCall(index, forManyUrls(googleResult(call, m_run.m_control)), property, urls);
            return stepsDone(urls.size());
        }
    }
    // Google has every sitemap, so it has every URL the project holds from them that the checks let go.
    UrlPass pass(m_run.m_table, m_run.m_engines.at(index).column);
    for (const QString &url : urls)
        pass.setFlag(settings.projectId, url, false);
    if (m_run.m_pages)
        m_run.m_pages->accepted(engine, urls);
    RequestResult accepted(Outcome::Accepted);
    accepted.detail = QStringLiteral("Search Console took the sitemap %1").arg(addresses.join(QStringLiteral(", ")));
    recordCall(index, accepted, property, urls);
    stepsDone(urls.size());
}

void WebmasterEngines::submitToBing(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_run.m_engines.at(index).name;
    const ProjectSettings &settings = m_run.m_setup.settings;
    const QStringList urls = pending(index);
    if (urls.isEmpty())
        return;
    const QString site = settings.bingSite;
    const QByteArray base = engineField(section, EngineField::Action).toUtf8();
    if (const QString why = refusal(base, CredentialService::Bing); !why.isEmpty())
        return unusable(index, site, urls, why);
    if (settings.bingKeyFile.isEmpty())
        return unusable(index, site, urls, QStringLiteral("the project names no Bing API key file ([Bing] KeyFile)"));
    const BingApiKey key = readBingApiKey(keyFilePath(settings.bingKeyFile));
    if (!key.ok())
        return unusable(index, site, urls, key.problem);

    BingWebmaster bing(m_run.m_http, key.key, m_run.m_setup.timeoutSeconds());
    bing.setStopCheck(interruption());
    // The URLs by the site Bing knows them under, in the view's order.
    QStringList sites;
    QHash<QString, QStringList> urlsOf;
    for (const QString &url : urls) {
        const QString of = bingSiteOf(site, url);
        if (!urlsOf.contains(of))
            sites << of;
        urlsOf[of] << url;
    }
    RunControl &control = m_run.m_control;
    EngineTally &tally = m_run.tallyOf(index);
    UrlPass pass(m_run.m_table, m_run.m_engines.at(index).column);
    int budget = qMax(0, engineIntField(section, EngineField::MaxSubmit));
    bool over = false; // the engine is asked nothing more in this run
    for (const QString &siteUrl : sites) {
        if (over || control.stopRequested() || control.skipEngineRequested())
            break;
        QStringList siteUrls = urlsOf.value(siteUrl);
        const QStringList limited = siteUrls.mid(budget);
        siteUrls = siteUrls.mid(0, budget);
        if (!siteUrls.isEmpty()) {
            m_run.status(QStringLiteral("%1: asking the quota of %2").arg(engine, siteUrl), StatusKind::Url);
            const BingQuota quota = bing.quota(base, siteUrl);
            if (!quota.result.ok()) {
                const RequestResult result = forManyUrls(bingResult(quota.result, control));
                recordCall(index, result, siteUrl, siteUrls);
                over = endsEngine(result.outcome) || endsRun(result.outcome);
                continue;
            }
            const BingBatchPlan plan = planBingBatches(siteUrls, quota.allowance());
            for (const QStringList &batch : plan.batches) {
                m_run.status(QStringLiteral("%1: %2 URLs of %3").arg(engine).arg(batch.size()).arg(siteUrl),
                             StatusKind::Url);
                tally.sent += int(batch.size());
                const RequestResult result = forManyUrls(bingResult(bing.submitBatch(base, siteUrl, batch), control));
                if (flagEffect(result.outcome) == FlagEffect::MarkDone) {
                    for (const QString &url : batch)
                        pass.setFlag(settings.projectId, url, false);
                    if (m_run.m_pages)
                        m_run.m_pages->accepted(engine, batch);
                }
                if (countsTowardLimit(result.outcome))
                    budget -= int(batch.size());
                recordCall(index, result, siteUrl, batch);
                m_run.m_http.setAction(httpResetHeaders);
                over = endsEngine(result.outcome) || endsRun(result.outcome) || control.stopRequested() ||
                       control.skipEngineRequested();
                if (over)
                    break;
            }
            if (!over && plan.waiting > 0)
                recordCall(index,
                           withReason(Outcome::QuotaReached,
                                      QStringLiteral("the next run (Bing's quota for %1 allows %2 more today)")
                                          .arg(siteUrl)
                                          .arg(siteUrls.size() - plan.waiting)),
                           siteUrl, siteUrls.mid(siteUrls.size() - plan.waiting));
        }
        if (!over && !limited.isEmpty())
            recordCall(index, Outcome::LimitReached, siteUrl, limited);
    }
    if (control.stopRequested())
        m_run.tell(Outcome::Stopped, {Telling::Submission, engine});
    else if (control.skipEngineRequested())
        m_run.tell(Outcome::SkippedEngine, {Telling::Submission, engine});
    stepsDone(urls.size());
}

void WebmasterEngines::searchGoogle(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_run.m_engines.at(index).name;
    const ProjectSettings &settings = m_run.m_setup.settings;
    const QString &property = settings.googleProperty;
    const QStringList urls = viewUrls();
    if (urls.isEmpty())
        return;
    const QByteArray inspectAddress = engineField(section, EngineField::SearchAction).toUtf8();
    if (const QString why = refusal(inspectAddress, CredentialService::Google); !why.isEmpty())
        return unusable(index, property, urls, why);
    if (property.isEmpty())
        return unusable(index, property, urls,
                        QStringLiteral("the project names no Search Console property ([Google] Property)"));
    const QString keyFile = googleKeyFilePath(settings.googleKeyFile);
    if (keyFile.isEmpty())
        return unusable(index, property, urls,
                        QStringLiteral("no service-account key file: name one as [Google] KeyFile, or set "
                                       "GOOGLE_APPLICATION_CREDENTIALS"));
    const ServiceAccountFile key = readServiceAccount(keyFilePath(keyFile));
    if (!key.ok())
        return unusable(index, property, urls, key.problem);

    GoogleToken token(key.account, [this] { return nowMs() / 1000; });
    SearchConsole console(token, m_run.m_http, {m_run.m_setup.timeoutSeconds(), interruption()});
    const RunSetup::WebmasterPace &pace = m_run.m_setup.pace;
    EngineState state(m_run.m_table);
    const QDate day = googleQuotaDay(nowMs());
    // The day's inspections are Google's to count; what this program sent today is what it knows of them.
    const int left = qMax(0, pace.inspectionsPerDay - state.quotaUsed(engine, property, day));
    const QStringList ordered = state.longestUnasked(settings.projectId, engine, urls);
    const QStringList asked = ordered.mid(0, left);
    QStringList waiting = ordered.mid(left);
    QuotaPacer pacer(pace.inspectionsPerMinute, pace.inspectionsPerDay);
    RunControl &control = m_run.m_control;
    QString quotaEnded; // the URL whose inspection Google refused for its quota

    const auto inspect = [&](const QString &url) {
        // The minute's inspections are sent: the run waits for the oldest to age, taking Stop and Skip Engine.
        for (qint64 wait = pacer.waitBefore(nowMs()); wait > 0; wait = pacer.waitBefore(nowMs())) {
            const int seconds = int((wait + 999) / 1000);
            m_run.status(QStringLiteral("%1: %2 inspections a minute are sent; waiting %3 s")
                             .arg(engine)
                             .arg(pace.inspectionsPerMinute)
                             .arg(seconds),
                         StatusKind::Plain);
            if (!control.pause(seconds))
                return RequestResult(interrupted(control));
        }
        const UrlInspection inspection = console.inspect(inspectAddress, property, url.toUtf8());
        // Google counts what reached it, whatever it answered.
        if (inspection.call.status >= 0) {
            pacer.record(nowMs());
            state.addQuotaUse(engine, property, day, 1);
        }
        RequestResult result = googleResult(inspection.call, control);
        if (result.outcome == Outcome::QuotaReached)
            quotaEnded = url;
        if (result.outcome != Outcome::Accepted)
            return result;
        state.setAnswered(settings.projectId, engine, url, QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC));
        result.outcome = inspection.listed ? Outcome::Listed : Outcome::NotListed;
        result.detail = inspection.coverageState;
        return result;
    };
    const auto prepare = [&](const QString &url) {
        Run::UrlRequest prepared;
        prepared.method = SearchConsoleName;
        m_run.status(url, StatusKind::Url);
        prepared.call = [&inspect, url] { return inspect(url); };
        return prepared;
    };
    m_run.walkEngine(index, {Telling::Search, false, prepare, {}, asked});
    if (control.stopRequested())
        return;
    QString why = QStringLiteral("tomorrow's quota (%1 inspections a day for %2, and today's are used)")
                      .arg(pace.inspectionsPerDay)
                      .arg(property);
    if (!quotaEnded.isEmpty()) {
        waiting = asked.mid(asked.indexOf(quotaEnded) + 1) + waiting;
        why = QStringLiteral("the next run (Search Console's quota is used up)");
    }
    if (waiting.isEmpty())
        return;
    recordCall(index, withReason(Outcome::QuotaReached, why), property, waiting);
    stepsDone(waiting.size());
}

void WebmasterEngines::searchBing(qsizetype index, const EngineSection &section)
{
    const QString &engine = m_run.m_engines.at(index).name;
    const ProjectSettings &settings = m_run.m_setup.settings;
    const QStringList urls = viewUrls();
    if (urls.isEmpty())
        return;
    const QByteArray base = engineField(section, EngineField::SearchAction).toUtf8();
    if (const QString why = refusal(base, CredentialService::Bing); !why.isEmpty())
        return unusable(index, settings.bingSite, urls, why);
    if (settings.bingKeyFile.isEmpty())
        return unusable(index, settings.bingSite, urls,
                        QStringLiteral("the project names no Bing API key file ([Bing] KeyFile)"));
    const BingApiKey key = readBingApiKey(keyFilePath(settings.bingKeyFile));
    if (!key.ok())
        return unusable(index, settings.bingSite, urls, key.problem);

    BingWebmaster bing(m_run.m_http, key.key, m_run.m_setup.timeoutSeconds());
    bing.setStopCheck(interruption());
    EngineState state(m_run.m_table);
    const auto prepare = [&](const QString &url) {
        Run::UrlRequest prepared;
        prepared.method = BingWebmasterName;
        m_run.status(url, StatusKind::Url);
        prepared.call = [&, url] {
            const BingUrlInfo info = bing.urlInfo(base, bingSiteOf(settings.bingSite, url), url);
            RequestResult result = bingResult(info.result, m_run.m_control);
            if (result.outcome != Outcome::Accepted)
                return result;
            state.setAnswered(settings.projectId, engine, url, QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC));
            result.outcome = info.listed ? Outcome::Listed : Outcome::NotListed;
            if (info.lastCrawled.isValid())
                result.detail = QStringLiteral("crawled %1").arg(info.lastCrawled.toString(Qt::ISODate));
            if (info.httpStatus >= 400)
                result.detail += QStringLiteral("%1Bing got HTTP %2")
                                     .arg(result.detail.isEmpty() ? QString() : QStringLiteral(", "))
                                     .arg(info.httpStatus);
            if (result.detail.isEmpty())
                result.detail = QStringLiteral("not crawled by Bing");
            return result;
        };
        return prepared;
    };
    m_run.walkEngine(index, {Telling::Search, false, prepare});
}

QStringList WebmasterEngines::pending(qsizetype index)
{
    const QString &engine = m_run.m_engines.at(index).name;
    EngineTally &tally = m_run.tallyOf(index);
    UrlPass pass(m_run.m_table, m_run.m_engines.at(index).column);
    const PageCheckPass *pages = m_run.m_pages.get();
    QStringList urls;
    for (qsizetype row = 0; row < pass.size(); ++row) {
        const UrlTable::UrlAndFlag current = pass.at(row);
        if (!current.flag.value_or(false)) {
            m_run.record(tally, Outcome::Disabled, {Telling::ApiBatch, engine, current.url});
            continue;
        }
        if (const std::optional<RequestResult> kept = pages ? pages->refusal(engine, current.url) : std::nullopt) {
            // The check judged the page alone, so it is told as the URL it is, as a form engine tells it.
            if (flagEffect(kept->outcome) == FlagEffect::MarkDone)
                pass.setFlag(m_run.m_setup.settings.projectId, current.url, false);
            m_run.record(tally, *kept, {Telling::Submission, engine, current.url});
            continue;
        }
        urls << current.url;
    }
    // Those already done, and those the checks keep back, are gone through.
    stepsDone(pass.size() - urls.size());
    return urls;
}

QStringList WebmasterEngines::coveredByAddresses(qsizetype index, const QString &property, const QStringList &urls,
                                                 const QStringList &files)
{
    if (files.isEmpty())
        return urls;
    const QSet<quint64> fileOnly = SitemapFileOnly::read(m_run.m_table.query(), m_run.m_setup.settings.projectId);
    QStringList covered, left;
    for (const QString &url : urls)
        (fileOnly.contains(SitemapFileOnly::key(url)) ? left : covered) << url;
    if (!left.isEmpty()) {
        recordCall(index,
                   withReason(Outcome::Failed,
                              (files.size() == 1 ? QStringLiteral("only the sitemap file %1 lists them")
                                                 : QStringLiteral("only the sitemap files %1 list them"))
                                      .arg(files.join(QStringLiteral(", "))) +
                                  QStringLiteral(", and Search Console takes sitemap addresses only: put it on the "
                                                 "site and import its address")),
                   property, left);
        stepsDone(left.size());
    }
    return covered;
}

QStringList WebmasterEngines::viewUrls()
{
    UrlPass pass(m_run.m_table, QString());
    QStringList urls;
    for (qsizetype row = 0; row < pass.size(); ++row)
        urls << pass.at(row).url;
    return urls;
}

void WebmasterEngines::unusable(qsizetype index, const QString &site, const QStringList &urls, const QString &why)
{
    recordCall(index, withReason(Outcome::EngineUnusable, why), site, urls);
    stepsDone(urls.size());
}

void WebmasterEngines::recordCall(qsizetype index, const RequestResult &result, const QString &site,
                                  const QStringList &urls)
{
    const QString &engine = m_run.m_engines.at(index).name;
    m_run.record(m_run.tallyOf(index), result, {Telling::ApiBatch, engine, site, QString(), urls});
}

void WebmasterEngines::stepsDone(qsizetype count)
{
    m_run.m_done += int(count);
    m_run.m_observer.runProgress(qMin(m_run.m_done, m_run.m_total), m_run.m_total);
}

QString WebmasterEngines::keyFilePath(const QString &name) const
{
    // The engine list lives in the base directory, and so does a project's relative key file.
    return QDir(QFileInfo(m_run.m_setup.autoListPath).absolutePath()).absoluteFilePath(name);
}

QString WebmasterEngines::refusal(const QByteArray &address, CredentialService service) const
{
    const QString &list = m_run.m_setup.autoListPath;
    return credentialRefusal(address, service,
                             {QFileInfo(list).fileName(), isDownloadedEngineList(list), m_run.m_setup.testServer});
}

qint64 WebmasterEngines::nowMs() const
{
    const std::function<qint64()> &clock = m_run.m_setup.pace.clockMs;
    return clock ? clock() : QDateTime::currentMSecsSinceEpoch();
}

std::function<bool()> WebmasterEngines::interruption() const
{
    const RunControl &control = m_run.m_control;
    return
        [&control] { return control.stopRequested() || control.skipEngineRequested() || control.skipUrlRequested(); };
}
