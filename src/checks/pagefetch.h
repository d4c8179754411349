#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "checks/pagefingerprint.h"
#include "checks/pagesignals.h"

class THTTPClient;

namespace checks {

// What one page fetch asks for.
struct PageFetchRequest
{
    QByteArray url;
    // The validators of the previous check: sent as If-None-Match and
    // If-Modified-Since while the address stays on the first host (one
    // holding a control character is not sent).
    QByteArray etag;
    QByteArray lastModified;
    // For the whole fetch, redirects included; at least one second.
    int timeoutSeconds = 30;
    // Body bytes read at most: a crawler judges a page by its start, and so
    // does the check (the signals and the hash are of the bytes read).
    qint64 maxBytes = 16 * 1024 * 1024;
    // What of an HTML page the fingerprint takes.
    ContentScope scope = ContentScope::Page;
    // What the previous check read from the page. An HTML body whose raw hash
    // is rawHash again is not parsed: the fingerprint and the HTML's signals
    // stand as they were (the same bytes always read the same). The body is
    // then held until its end, up to a bound past which it is parsed as usual.
    struct ReadBefore
    {
        QByteArray rawHash;
        QByteArray fingerprint;
        PageSignals html;
    };
    std::optional<ReadBefore> readBefore;
    // Polled while the fetch waits: true ends it (Stopped).
    std::function<bool()> stopRequested;
};

// What the page answered. The body is never kept: it streams through the
// HTML reader (an answer whose Content-Type names no HTML, through the hash
// as bytes) while it arrives; a re-check holds it, up to a bound, only until
// its raw hash is known.
struct PageFetchResult
{
    enum class Outcome {
        Answered,        // a final answer came: statusLine and statusCode hold it
        RedirectRefused, // a redirect was not taken: text says why (net::RedirectChain's words)
        Failed,          // no answer: text "code: message", or that the connection closed before a status line
        TimedOut,        // "no answer within N s" or "no complete answer within N s"
        Stopped,         // "stopped"
    };

    Outcome outcome = Outcome::Failed;
    QString text;
    QByteArray finalUrl;         // the address asked last
    QList<QByteArray> redirects; // the addresses redirects led to, in order
    QByteArray statusLine;
    int statusCode = -1;
    // Of the final answer.
    QByteArray etag;
    QByteArray lastModified;
    QByteArray retryAfter;
    PageSignals pageSignals; // headers always; the HTML's for a 2xx answer
    QByteArray fingerprint;  // of a 2xx answer's body, "" otherwise
    // A 2xx answer's: SHA-256 over the body's bytes as received (after the
    // transfer coding), and over all else its reading depends on (the
    // fingerprint rule, the Content-Type, the address); "" otherwise.
    QByteArray rawHash;
    bool parsed = false; // the body went through the HTML reader
    bool cut = false;    // the body went past maxBytes and was judged on its start

    bool answered() const { return outcome == Outcome::Answered; }
};

class HtmlPageReader;

// Fetches pages one after another with one client, through net::Fetch:
// redirects by net::RedirectChain's rule (at most five, never from https down
// to http), one request per address, the validators kept to the first host
// (like any header line of a fetch), and the final answer's headers and body
// read as they arrive. The HTML reader is made once and reset for each page.
// The client is the caller's to give and must not be in use meanwhile; its
// request properties and events are what they were after each fetch.
class PageFetcher
{
public:
    explicit PageFetcher(THTTPClient &http);
    ~PageFetcher();
    PageFetcher(const PageFetcher &) = delete;
    PageFetcher &operator=(const PageFetcher &) = delete;

    // Never throws. Pumps the thread's events while it waits, like the client.
    PageFetchResult fetch(const PageFetchRequest &request);

private:
    THTTPClient &m_http;
    std::unique_ptr<HtmlPageReader> m_reader;
    QByteArray m_held; // a body held until its raw hash is known; kept for its capacity
};

// One page with a fetcher of its own (PageFetcher::fetch).
PageFetchResult fetchPage(THTTPClient &http, const PageFetchRequest &request);

// A Retry-After value as seconds from now: a number of seconds, or an HTTP
// date in its usual form, "Sun, 06 Nov 1994 08:49:37 GMT" (a past one gives
// 0). nullopt for anything else.
std::optional<qint64> retryAfterSeconds(QByteArrayView value, const QDateTime &now);

} // namespace checks
