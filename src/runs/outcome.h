#pragma once

#include "runs/runobserver.h"

#include <QString>

// What became of one URL for one engine.
enum class Outcome {
    Accepted,      // the engine answered 2xx
    Redirected,    // the engine answered 3xx with a Location: counted as accepted
    Failed,        // no answer, a malformed or unaccepting one, or a network error
    TimedOut,      // no end of the answer within the timeout
    SkippedUrl,    // the user's Skip URL, during the pause or the request
    SkippedEngine, // the user's Skip Engine
    Stopped,       // the user's Stop, or the window closing
    Disabled,      // the URL is already done for this engine
    LimitReached,  // the engine's per-run limit was reached before this URL
    UnknownMethod, // the engine list names a method other than post and get
    KeyMissing,    // an IndexNow engine, and the URL's host does not publish the project's key
};

// The facts behind an outcome.
struct RequestResult
{
    RequestResult(Outcome what = Outcome::Failed) : outcome(what) {}

    Outcome outcome;
    QString reason;     // Failed: why, in a few words
    QString location;   // Redirected: where to
    QString answerFile; // the saved answer's file name in the project's directory, "" when none was saved
    bool answerCut = false;
};

// What a URL's flag for the engine becomes.
enum class FlagEffect {
    MarkDone, // the engine has the URL: it is not sent again
    Keep,     // it is sent again in a later run
};

// Accepted and redirected requests use up the engine's per-run limit and mark
// the URL done; nothing else does.
FlagEffect flagEffect(Outcome outcome);
bool countsTowardLimit(Outcome outcome);

// The status line and the report row of a submission outcome; an empty text
// means no line (or no row). method is the engine list's method, which the
// unknown-method line names.
struct OutcomeLines
{
    QString statusLine;
    StatusKind kind = StatusKind::Plain;
    QString reportRow; // ready for the report (values escaped)
};
OutcomeLines submissionOutcomeLines(const RequestResult &result, const QString &engine, const QString &url,
                                    const QString &method);
// The status line of a search outcome (the search has no report rows).
OutcomeLines searchOutcomeLines(const RequestResult &result, const QString &engine, const QString &url);
