#pragma once

#include <QByteArray>
#include <QList>
#include <chrono>
#include <functional>

#include "checks/pagefingerprint.h"
#include "checks/pageverdict.h"

namespace checks {

// What the previous check of a page left, for this one's conditional request.
struct PreviousCheck
{
    QByteArray etag;
    QByteArray lastModified;
    QByteArray fingerprint;
    PageVerdict verdict; // what a 304 carries over
    // The raw hash the fingerprint was read from: a body that hashes to it
    // again keeps the fingerprint and the HTML's signals without being parsed.
    QByteArray rawHash;
};

struct PageCheckInput
{
    QByteArray url;
    PreviousCheck previous;
};

// What one page's check found.
struct PageCheckResult
{
    QByteArray url;
    QByteArray finalUrl; // after redirects
    // The last answer's, also when the page could not be checked (a 5xx, a 429
    // after its retries; a 404 or 410 tells that the page went away); ""
    // and -1 when none came or the page was not fetched.
    QByteArray statusLine;
    int statusCode = -1;
    PageVerdict verdict;
    // The content hash ("" when no 2xx body was read); on a 304 the previous one.
    QByteArray fingerprint;
    // For the next check: the final answer's validators, on a 304 the previous
    // ones unless it sent new ones.
    QByteArray etag;
    QByteArray lastModified;
    QByteArray rawHash;       // what PageFetchResult::rawHash says; on a 304 the previous one
    bool notModified = false; // a 304: unchanged since the previous check
    int tries = 0;            // requests made for the page (each retry of a 429 or 503 adds one)

    // Whether the content differs from the previous check's (a first check counts as changed).
    bool changedSince(const PreviousCheck &previous) const
    {
        return !notModified && (previous.fingerprint.isEmpty() || fingerprint != previous.fingerprint);
    }
};

struct PageCheckOptions
{
    int workers = 4;         // pages fetched at once, at most
    int perHost = 4;         // pages of one host fetched at once, at most
    int timeoutSeconds = 30; // one page, its redirects included
    // A 429 or 503 is asked again later in the same check, at most maxTries
    // requests in all; after them it could not be checked.
    int maxTries = 3;
    // How long a page waits to be asked again when its answer named no time
    // (no usable Retry-After).
    std::chrono::milliseconds defaultRetry = std::chrono::seconds(5);
    // A host that gives this many busy answers (5xx, 429) in a row is paused
    // for defaultRetry, and for twice as long with each further one, so a host
    // that answers nothing else gets a bounded number of requests.
    int busyAnswersBeforePause = 5;
    // The longest the check waits for a host. A Retry-After of a 5xx or 429
    // pauses the whole host for its time; a host that asks for longer, or
    // whose pause grows past it, is left alone for the rest of the check: the
    // pages of it not judged yet could not be checked. A Retry-After too large
    // to count in stays a wait too long, never none.
    std::chrono::milliseconds maxWait = std::chrono::minutes(2);
    // What of an HTML page the fingerprint takes ([Checks] Content).
    ContentScope scope = ContentScope::Page;
};

// Fetches a site's pages several at a time and judges each: robots.txt
// (read once per host, for "*"), the redirects, the final status, the
// X-Robots-Tag header, the page's meta robots and canonical link (PageSignals),
// and the content fingerprint. A page robots.txt disallows is not fetched.
//
// A page that could not be checked gets a verdict that says so (checked() is
// false) with the cause as its text, never one that judges the page: no
// answer, a network or TLS failure, a timeout, a stop ("stopped"); a final 5xx
// ("503 Service Unavailable"), a 429 after its retries; a 304 to a request
// that sent no validators; a host left alone ("503 Service Unavailable (asked
// to wait until 2026-12-08 15:00 UTC)"); a robots.txt that cannot be read
// ("robots.txt answers 503 Service Unavailable", "robots.txt: <cause>"). A
// robots.txt that answers another 4xx allows every page.
//
// The pages are fetched by `workers` threads, each with its own HTTP client
// and event loop, from one queue that keeps the per-host limit. Bodies stream
// through the HTML reader and the hash and are never held whole; on a
// re-check, a body is held (up to PageFetcher's bound) until its raw hash
// tells whether it needs parsing at all.
class PageChecker
{
public:
    explicit PageChecker(PageCheckOptions options = {});

    // One result per page, in the order given. Blocks until every page is
    // judged, running an event loop of the calling thread meanwhile (a
    // QCoreApplication must exist); the application's quit ends it like a
    // stop. An address that is no absolute http(s) URL is judged Unreachable
    // without a request; after a stop, the pages not judged yet are
    // Unreachable "stopped". Never throws.
    QList<PageCheckResult> check(const QList<PageCheckInput> &pages);

    // Told each result as it is ready, on the calling thread.
    std::function<void(int index, const PageCheckResult &result)> onResult;
    // Polled on the calling thread while the check runs: true stops it.
    std::function<bool()> stopRequested;

private:
    PageCheckOptions m_options;
};

} // namespace checks
