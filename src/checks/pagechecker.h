#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

#include "checks/pageverdict.h"

namespace checks {

// What the previous check of a page left, for this one's conditional request.
struct PreviousCheck
{
    QByteArray etag;
    QByteArray lastModified;
    QByteArray fingerprint;
    PageVerdict verdict; // what a 304 carries over
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
    QByteArray finalUrl;   // after redirects
    QByteArray statusLine; // the final answer's; "" when none came (or the page was not fetched)
    int statusCode = -1;
    PageVerdict verdict;
    // The content hash ("" when no 2xx body was read); on a 304 the previous one.
    QByteArray fingerprint;
    // For the next check: the final answer's validators, on a 304 the previous
    // ones unless it sent new ones.
    QByteArray etag;
    QByteArray lastModified;
    bool notModified = false; // a 304: unchanged since the previous check
    int tries = 0;            // requests made for the page (a Retry-After adds one)

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
    // A 429 or 503 is asked again later in the same check, after its
    // Retry-After (seconds or a date) or defaultRetrySeconds without one, at
    // most maxRetrySeconds, and at most maxTries requests in all.
    int maxTries = 3;
    int defaultRetrySeconds = 5;
    int maxRetrySeconds = 60;
};

// Fetches a site's pages several at a time and judges each: robots.txt
// (read once per host, for "*"), the redirects, the final status, the
// X-Robots-Tag header, the page's meta robots and canonical link (PageSignals),
// and the content fingerprint. A page robots.txt disallows is not fetched.
//
// The pages are fetched by `workers` threads, each with its own HTTP client
// and event loop, from one queue that keeps the per-host limit. Bodies stream
// through the HTML reader and the hash and are never held.
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
