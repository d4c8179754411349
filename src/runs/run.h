#pragma once

#include "engines/enginelist.h"
#include "engines/enginelistrefresh.h"
#include "net/urlcodec.h"
#include "runs/engineform.h"
#include "runs/enginetally.h"
#include "runs/outcome.h"
#include "runs/placeholders.h"
#include "runs/requeststep.h"
#include "runs/runsetup.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

class AnswerMatcher;
class PageCheckPass;
class RunControl;
class RunObserver;
class THTTPClient;
class UrlTable;

// A file the run must write (its report, a search log) did not take what was
// written; the text names the file and the system's reason. It ends the run,
// as a UrlTableError from the URL table does.
class RunWriteError : public std::runtime_error
{
public:
    explicit RunWriteError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// What the submission run and the search share: the start (the engine lists
// fetched when the project asks for it, the sender checked, then the old answers
// gone), the walk over the engines and over an engine's URLs, the recording of
// every outcome through the outcome table, the form values, progress and diagnostics.
class Run
{
    // The webmaster engines' work is part of the run's walk and records.
    friend class WebmasterEngines;

public:
    Run(const RunSetup &setup, UrlTable &table, THTTPClient &http, RunControl &control, RunObserver &observer);
    virtual ~Run();
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    // The whole run; returns when it is over. Never throws.
    void run();

    // The engines the run worked with: the setup's, or those of a list it downloaded or wrote.
    const EngineCatalogue &engines() const { return m_engines; }
    // Per engine of the engine list, in its order.
    const QList<EngineTally> &tally() const { return m_tally; }
    // What the run could not do that is no engine's fault (an IndexNow key
    // file not published, say), one line each, for the unattended summary.
    const QStringList &notices() const { return m_notices; }
    // What the run found wrong outside its requests, one line each for the
    // unattended summary: pages that could not be checked (per host), engines
    // the project chooses that no engine list holds, URLs that have waited
    // for an engine's quota for more than a week. Any of them is a run to look at.
    const QStringList &faults() const { return m_faults; }
    // Why the run stopped early because a file it must write could not be written
    // (the URL table, the report, a search log), "" when it did not. Such a run
    // sent nothing after the failure and told the observer's runFailed() once.
    const QString &fatalError() const { return m_fatalError; }

protected:
    virtual QString answerPrefix() const = 0;
    // The template of a chosen engine's section whose sender placeholders the run fills.
    virtual QString senderTemplate(const EngineSection &section) const = 0;
    virtual void body() = 0;
    // Writes an outcome's entry where the run keeps them (the report, the search
    // report and log); throws RunWriteError when a file does not take it.
    virtual void writeEntry(const OutcomeLines &lines, const RequestResult &result, const OutcomeSubject &subject) = 0;

    // What a run sends for one URL of an engine.
    struct UrlRequest
    {
        RequestStep::Request request;                // its url "" when no request was formed (no diagnostics then)
        QString method;                              // the engine list's method
        int pauseSeconds = 0;                        // before the request
        int limit = std::numeric_limits<int>::max(); // URLs the engine takes in one run
        AnswerMatcher *matcher = nullptr;
        std::optional<RequestResult> refusal; // why nothing is sent for the URL, its flag aside
        // Asks the engine in place of the request (a webmaster API's call); never throws.
        std::function<RequestResult()> call = {};
    };
    // What a run does at each URL of an engine's walk.
    struct UrlWork
    {
        Telling telling;
        bool flagged; // the URL's flag for the engine counts: a URL done is Disabled, an accepted one marked done
        // Reads the engine's form for the URL and announces it; called for every URL the walk does not pass over.
        std::function<UrlRequest(const QString &url)> prepare;
        // What an answer means to the run; the answer's classification when not given.
        std::function<void(RequestResult &result)> answered = {};
        // The URLs to walk in this order instead of the view's (unflagged walks only).
        std::optional<QStringList> urls = std::nullopt;
    };
    // The engine's URLs in the view's order, one request each: the flag, the stop
    // and skips, the limit, the pause, the request, its record and progress. A stop
    // returns at once; a URL after Skip Engine is passed over but counts as gone through.
    void walkEngine(qsizetype index, const UrlWork &work);
    // Tells the outcome (status line and entry) and counts it for the engine.
    void record(EngineTally &tally, const RequestResult &result, const OutcomeSubject &subject);
    // Tells it without counting: what it says was counted already.
    void tell(const RequestResult &result, const OutcomeSubject &subject);

    // Every engine of the catalogue in order, with its section read afresh,
    // until a stop; the trouble of one engine never ends the run, a file that
    // cannot be written (UrlTableError, RunWriteError) does: it is thrown on.
    void forEachEngine(const std::function<void(qsizetype index, const EngineSection &section)> &visit);
    bool isChosen(const QString &engine) const;
    PlaceholderValues values(const QString &engine, const QString &url, const QString &email) const;
    ValueEncoder encoder();
    // The diagnostic lines of the form readers: to the status log in debug mode, nowhere otherwise.
    RunLog debugLog();
    // The report's fixed values with the project file and the run's date and time.
    ReportContext reportContext() const;
    // The address a request goes to: the action, or in test mode the form-echo
    // endpoint; a GET's filled template joins it after "?", or after "&" when the
    // address already has a query.
    QByteArray address(const QString &action, bool post, const QString &postData) const;
    // A note of the run's own that is no failure (a local sitemap Search Console cannot take):
    // the status log, and the report where the run keeps one.
    virtual void writeNotice(const QString &text);
    // A chosen engine's section cannot be read as a form: it is passed over, and
    // the engine counts as failed (its tally's listProblem).
    virtual void engineSectionBroken(qsizetype index, const QString &problem);
    void status(const QString &text, StatusKind kind);
    void debugLine(const QString &text, StatusKind kind);
    // One URL-and-engine step is done.
    void advance();
    EngineTally &tallyOf(qsizetype engineIndex) { return m_tally[engineIndex]; }

    const RunSetup m_setup;
    EngineCatalogue m_engines; // the setup's, or the downloaded list's when one came
    UrlTable &m_table;
    THTTPClient &m_http;
    RunControl &m_control;
    RunObserver &m_observer;
    RequestStep m_step;
    TURLCodec m_codec;
    QString m_localHost;
    QStringList m_notices;
    QStringList m_faults;
    // The page checks of a submission run that checks pages, once they are done; null otherwise. Every
    // engine kind asks it what to send and tells it what was taken.
    std::unique_ptr<PageCheckPass> m_pages;
    QHash<QString, QStringList> m_waitingForQuota; // engine -> the URLs recorded as QuotaReached in this run
    int m_answerCounter = 0;                       // numbers the saved answers through the run
    int m_done = 0;
    int m_total = 1;

private:
    bool begin();
    // Each name the project chooses that the engine list lacks becomes a fault and a failure line.
    void findUnknownEngines();
    // The first sender field a chosen engine's template needs and the project
    // leaves empty: "First Name", "Last Name" or "Email"; "" when none is missing.
    QString missingSenderField() const;
    // Ends the run for a file that cannot be written.
    void fail(const QString &text);
    void countSteps();
    void resetTally();
    // Refreshes both lists (RefreshEngineLists()) and says which were not updated.
    EngineListRefresh downloadEngineLists();

    QList<EngineTally> m_tally;
    QString m_fatalError;
};
