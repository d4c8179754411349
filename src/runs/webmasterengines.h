#pragma once

#include "runs/outcome.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

class Run;
class RunControl;
struct EngineSection;

namespace webmaster {
struct GoogleCall;
struct BingResult;
enum class CredentialService;
} // namespace webmaster

// The engines reached through a webmaster API instead of a form, named by the
// engine list's method: Search Console ("searchconsole": QC_Action is the API's
// base, and with QC_Search_PostData=searchconsole its search is the URL
// inspection at QC_Search_Action) and Bing's webmaster API ("bingwebmaster":
// QC_Action is the JSON base, and with QC_Search_PostData=bingwebmaster its
// search is GetUrlInfo at QC_Search_Action). Their addresses are used as the
// list gives them, in test mode too (the form-echo server speaks no API), as
// long as a key or token may go there: a downloaded list reaches only the
// services' own hosts, and a refused address makes the engine unusable.
enum class WebmasterKind { None, SearchConsole, BingWebmaster };

WebmasterKind submissionKind(const EngineSection &section);
WebmasterKind searchKind(const EngineSection &section);

// What a call's result is to the run, for the one outcome table: a quota is
// QuotaReached (no failure), a refused key, token or permission EngineUnusable,
// Bing's throttling TooManyRequests, a timeout TimedOut, a call the run control
// ended Stopped, SkippedEngine or SkippedUrl, anything else Failed; the reason
// is the client's message, which never holds a secret. Ok is Accepted.
RequestResult googleResult(const webmaster::GoogleCall &call, const RunControl &control);
RequestResult bingResult(const webmaster::BingResult &result, const RunControl &control);

// Google's quota day of a moment (milliseconds since the epoch): its days end
// at midnight Pacific time, so the day's use is counted by that day.
QDate googleQuotaDay(qint64 nowMs);

// The webmaster engines' part of a run, told and counted as every outcome is.
//
// The submission: Search Console is given the project's imported sitemap
// addresses (a local sitemap file is named in a notice); once it took every
// one, the URLs still to submit to it are done. Bing is asked the site's quota
// left today and given the URLs in batches within it; the rest wait for the
// next run. In a run that checks pages, a URL the checks keep back (it may not
// be indexed, or the engine has its content) is neither in a batch nor marked
// done by a sitemap, and what either engine took becomes the content it has;
// when the checks keep back every URL, Search Console is given no sitemap.
//
// The search: Search Console inspects the URLs in longest-unasked order within
// the day's inspections (counted across runs per property) and the minute's
// (the run waits, Stop and Skip Engine end the wait); Bing's GetUrlInfo
// answers each URL. No key, token or assertion reaches a status line, a report
// or a file: the clients' messages never hold one, and no answer of theirs is
// saved.
class WebmasterEngines
{
public:
    explicit WebmasterEngines(Run &run) : m_run(run) {}

    void submit(qsizetype index, const EngineSection &section, WebmasterKind kind);
    void search(qsizetype index, const EngineSection &section, WebmasterKind kind);

private:
    void submitToGoogle(qsizetype index, const EngineSection &section);
    void submitToBing(qsizetype index, const EngineSection &section);
    void searchGoogle(qsizetype index, const EngineSection &section);
    void searchBing(qsizetype index, const EngineSection &section);

    // The URLs of the engine's column still to submit, in the view's order, less
    // those the run's page checks keep back (recorded NotIndexable, or
    // UnchangedContent and marked done); the others are counted as done.
    QStringList pending(qsizetype index);
    // The urls a sitemap address covers; those only the project's sitemap files
    // list are recorded as failed (Search Console is never given a file).
    QStringList coveredByAddresses(qsizetype index, const QString &property, const QStringList &urls,
                                   const QStringList &files);
    // Every URL of the view, in its order.
    QStringList viewUrls();
    // Records EngineUnusable for the URLs with why, as one call for site.
    void unusable(qsizetype index, const QString &site, const QStringList &urls, const QString &why);
    // Records the outcome of one call standing for urls.
    void recordCall(qsizetype index, const RequestResult &result, const QString &site, const QStringList &urls);
    // URL-and-engine steps gone through without one request each.
    void stepsDone(qsizetype count);
    // Why the service's key or token must not go to address, "" when it may
    // (credentialRefusal(): the documented hosts, or a list the owner keeps).
    QString refusal(const QByteArray &address, webmaster::CredentialService service) const;
    // A key file named in the project: an absolute path, or one in the base directory.
    QString keyFilePath(const QString &name) const;
    qint64 nowMs() const;
    std::function<bool()> interruption() const;

    Run &m_run;
};
