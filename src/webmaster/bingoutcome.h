#pragma once

#include <QByteArray>
#include <QString>

namespace net {
struct FetchResult;
}

namespace webmaster {

// What one call of Bing's webmaster API came to. The closed set the run
// decides on; bingOutcomeMeaning() is its one text table.
enum class BingOutcome {
    Ok,            // answered as asked
    QuotaUsedUp,   // the site's daily quota is used: nothing went out, the URLs wait for the next run (no failure)
    Throttled,     // ThrottleUser, ThrottleHost or 429: stop the engine for this run, the URLs are kept
    InvalidKey,    // InvalidApiKey, UserNotFound or 401: the key file's key is refused
    NotAuthorized, // NotAuthorized, NotAllowed, UserBlocked or 403: the key's user may not act for this site
    InvalidUrl,    // InvalidUrl or InvalidParameter: Bing refused a URL or a parameter of the call
    ApiError,      // any other ErrorCode the API sent
    ServerError,   // a 5xx without the API's error, or InternalError
    BadAnswer,     // an answer that is not the API's: another status, no JSON, a missing field, too large
    NetworkError,  // no answer: the network failed (the fetch's text)
    TimedOut,      // no answer within the timeout
    Stopped,       // the caller's stop check ended the call
};

// The API's documented ErrorCode values (ApiErrorCode).
enum class BingErrorCode {
    None = 0,
    InternalError = 1,
    UnknownError = 2,
    InvalidApiKey = 3,
    ThrottleUser = 4,
    ThrottleHost = 5,
    UserBlocked = 6,
    InvalidUrl = 7,
    InvalidParameter = 8,
    TooManySites = 9,
    UserNotFound = 10,
    NotFound = 11,
    AlreadyExists = 12,
    NotAllowed = 13,
    NotAuthorized = 14,
    UnexpectedState = 15,
    Deprecated = 16,
};

// The meaning of an outcome, as the log and the summary show it ("the API key is not valid").
QString bingOutcomeMeaning(BingOutcome outcome);
// True when the outcome counts as a failed request (everything but Ok, QuotaUsedUp and Stopped).
bool bingOutcomeFails(BingOutcome outcome);
// True when no further call should go to Bing in this run: the quota, the throttle, the key or the
// site's authorisation will not change before the next run, or the run was stopped.
bool bingOutcomeStopsEngine(BingOutcome outcome);

// The common part of every call's result. Nothing in it ever holds the API key.
struct BingResult
{
    BingOutcome outcome = BingOutcome::NetworkError;
    // "" when Ok; otherwise one line: the meaning, then what Bing or the network said.
    QString message;
    int httpStatus = -1; // of the answer's status line, -1 without one
    int errorCode = -1;  // the API's ErrorCode when it sent one
    QString address;     // the address asked, the key shown as "…"

    bool ok() const { return outcome == BingOutcome::Ok; }
};

// Classifies a fetch of the API: the network's outcome, then the API's error
// JSON ({"ErrorCode":N,"Message":"…"}), then the status. A 2xx without an
// error is Ok only when its body is the API's JSON ({"d": ...}); the caller
// reads its answer. Every text taken over from the answer or the fetch is
// scrubbed() of secret before it is cut or joined, so even a server that
// echoes the request cannot put the key, or a part of it, in a message.
BingResult classifyBingFetch(const net::FetchResult &fetch, const QByteArray &secret);

} // namespace webmaster
