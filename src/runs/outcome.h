#pragma once

#include "runs/runobserver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

struct EngineTally;

// What became of one URL for one engine (or of the URLs one IndexNow request carried).
enum class Outcome {
    Accepted,        // the engine answered 2xx (an IndexNow endpoint: 200 or 202)
    Redirected,      // a form engine answered 3xx with a Location: counted as accepted
    Failed,          // no answer, a malformed or unaccepting one, or a network error
    TimedOut,        // no end of the answer within the timeout
    SkippedUrl,      // the user's Skip URL, during the pause or the request
    SkippedEngine,   // the user's Skip Engine
    Stopped,         // the user's Stop, or the window closing
    Disabled,        // the URL is already done for this engine
    LimitReached,    // the engine's per-run limit was reached before this URL
    UnknownMethod,   // the engine list names a method other than post and get
    KeyMissing,      // an IndexNow engine, and the URL's host does not publish the project's key
    Moved,           // an IndexNow endpoint or a search answered with a redirection: nothing was taken or asked
    TooManyRequests, // an IndexNow endpoint answered 429: it is asked nothing more in this run
    Listed,          // the search: the engine's answer lists the URL
    NotListed,       // the search: the engine's answer is its "not listed" text
    Unsearchable,    // the search: the engine's list entry has no search form
    // A webmaster API's quota (the day's, or its 429) is used: the URLs wait for the
    // next run, no failure; the engine is asked nothing more in this run.
    QuotaReached,
    // A webmaster engine cannot be used in this run: its key file cannot be read, the
    // key or the token exchange is refused (401), the account may not act for the site
    // (403), or a setting it needs is missing. A failure; the engine is asked nothing more.
    EngineUnusable,
    // The page check found the page may not be indexed (noindex, a canonical elsewhere,
    // robots.txt, a redirect, an error status): nothing is sent, no failure, and the URL
    // stays to do, so it goes out once it may be indexed.
    NotIndexable,
    // The URL is to submit (its sitemap lastmod changed, say), but the page check finds
    // the content the engine last accepted: nothing is sent and the URL counts as done.
    UnchangedContent,
    // The page check could not check the page (no answer, a 5xx, robots.txt unreadable):
    // nothing is known of it, so nothing is sent, the URL stays to do, and the run is
    // told as troubled (see PageCheckPass::uncheckedHosts()) rather than each URL failed.
    NotChecked,
};
inline constexpr int OutcomeCount = int(Outcome::NotChecked) + 1;

// The facts behind an outcome; what they mean is the table's business.
struct RequestResult
{
    RequestResult(Outcome what = Outcome::Failed) : outcome(what) {}

    Outcome outcome;
    // Failed, TooManyRequests, KeyMissing, QuotaReached, EngineUnusable, NotIndexable, NotChecked: why, in a few words
    QString reason;
    QString detail;     // Listed, NotListed: what the engine says of the URL ("URL is unknown to Google"), or ""
    QString location;   // Redirected, Moved: where to
    QString statusLine; // the answer's status line as received, "" when none came
    QString answerFile; // the saved answer's file name in the project's directory, "" when none was saved
    bool answerCut = false;
    QByteArray retryAfter; // the answer's Retry-After header as sent, "" without one
};

// What a URL's flag for the engine becomes.
enum class FlagEffect {
    MarkDone, // the engine has the URL: it is not sent again
    Keep,     // it is sent again in a later run
};

// Only what an engine took (accepted, or a form engine's redirection) marks the
// URL done and uses up the engine's per-run limit; nothing else does.
FlagEffect flagEffect(Outcome outcome);
bool countsTowardLimit(Outcome outcome);
// The engine could not take or answer it, for a reason (counted as failed).
bool isFailure(Outcome outcome);
// After it the rest of the engine is passed over (Skip Engine, a 429, no search form).
bool endsEngine(Outcome outcome);
// After it nothing more is sent in the run (Stop).
bool endsRun(Outcome outcome);

// Whose words tell an outcome: the submission of one URL, an IndexNow request
// carrying many, the search, or a webmaster API's call that stands for many URLs
// (a Bing batch, the URLs a sitemap submission covers, the URLs that wait for a quota).
enum class Telling { Submission, IndexNowBatch, Search, ApiBatch };

// What an outcome is about.
struct OutcomeSubject
{
    Telling telling = Telling::Submission;
    QString engine = {};
    QString url = {};      // the URL; for an IndexNow request the host its URLs are on, for an API call the site
    QString method = {};   // the engine list's method, which the unknown-method texts name
    QStringList urls = {}; // an IndexNow request or an API call: the URLs it carried
};

// Counts the subject's URLs (one, or those an IndexNow request carried) under the
// outcome's tally column (a search's not-listed URL is an answered one too); the
// engine's first failure keeps its reason.
void countOutcome(EngineTally &tally, const RequestResult &result, const OutcomeSubject &subject);

// Where an outcome goes in the search report.
enum class SearchEntry {
    None,
    Listed,         // among the URLs the engine lists
    NotListed,      // among those it does not (and into the engine's search log)
    NotAsked,       // among those it could not be asked about, with the reason
    EngineNotAsked, // the engine could not be asked at all (or about the URLs of an API call), with the reason
    Stopped,        // the search was stopped
};

// How an outcome is told. An empty text means no line (or no row).
struct OutcomeLines
{
    QString statusLine;
    StatusKind kind = StatusKind::Plain;
    QString reportRow = {}; // the submission report's row, ready (values escaped)
    SearchEntry searchEntry = SearchEntry::None;
    QString searchReason = {}; // NotAsked, EngineNotAsked: why
};
OutcomeLines describeOutcome(const RequestResult &result, const OutcomeSubject &subject);
