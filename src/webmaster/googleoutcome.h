#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

#include "webmaster/scrub.h"

namespace net {
struct FetchResult;
}

namespace webmaster {

// What became of one call to Google (a token exchange, a sitemap submission,
// an inspection). The closed set a run decides on: which URLs stay to submit,
// whether the engine is asked anything more in this run.
enum class GoogleOutcome {
    Ok,             // the call did what it asked
    KeyRejected,    // the key file cannot be used, the token exchange was refused, or 401: nothing works until fixed
    NoPermission,   // 403: the service account is no user of the property
    QuotaExhausted, // 429 or RESOURCE_EXHAUSTED: ask nothing more this run; the URLs wait for the next
    ServerFailure,  // 5xx: the URL stays to submit
    Refused,        // another answer that is no 2xx: the message is the API's own
    NetworkFailure, // no answer: the fetch's text
    TimedOut,       // no answer within the timeout
    Stopped,        // the caller's stop check ended the call
    BadAnswer,      // a 2xx whose body is not what the API promises
    BadAddress,     // an address is no https:// URL: nothing was sent, the token must not travel in clear text
};

// The outcome's meaning in a few words, for summaries ("quota used up: retry tomorrow").
QString googleOutcomeMeaning(GoogleOutcome outcome);
// True for the outcomes after which the run should ask this engine nothing
// more: every further call would end the same way.
bool googleOutcomeEndsEngine(GoogleOutcome outcome);

// One call's result: the outcome, the answer's status code (-1 without one)
// and a one-line message for the status log. The message never holds a key,
// an assertion or a token.
struct GoogleCall
{
    GoogleOutcome outcome = GoogleOutcome::NetworkFailure;
    int status = -1;
    QString message;

    bool ok() const { return outcome == GoogleOutcome::Ok; }
};

// How the calls of one run go out: the timeout of each request (and of the
// token exchange before it), and the run's stop check, polled while waiting.
struct GoogleCallOptions
{
    int timeoutSeconds = 30;
    std::function<bool()> stopRequested;
};

// Decides what a fetch's answer means, by the one table of status codes and
// Google's error bodies ({"error": {"code", "message", "status"}}, or the
// token endpoint's {"error", "error_description"}). A 2xx is Ok: the caller
// still reads the body. what names the call in messages ("the sitemap
// submission"). secrets are cut out of every text that goes into the message,
// should a server echo one.
GoogleCall classifyGoogleAnswer(const net::FetchResult &fetched, const QString &what, const QList<QByteArray> &secrets);

} // namespace webmaster
