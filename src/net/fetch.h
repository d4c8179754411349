#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "net/neterror.h"
#include "net/redirectchain.h"

class THTTPClient;

namespace net {

// What one fetch asks for.
struct FetchRequest
{
    QByteArray url;
    // "GET", "HEAD", "POST" or "PUT"; POST and PUT send postData. A 303, and a
    // 301 or 302 after a POST or PUT, go on with GET and no body; a 307 or 308
    // repeats the request as it was.
    QByteArray method = QByteArrayLiteral("GET");
    QByteArray postData;
    QByteArray contentType = QByteArrayLiteral("application/x-www-form-urlencoded");
    // Extra header lines, "Name: value", several separated by "\r\n" (a last
    // "\r\n" is allowed), e.g. "Authorization: Bearer ..." or "Accept:
    // application/json". Sent with every request while the address stays on the
    // first request's host; like credentials, they do not follow a redirect to
    // another host, not even back. A line naming one of the client's own headers
    // (Authorization, Accept, From, User-Agent, If-Modified-Since, Referer,
    // Pragma, Content-Type, or a line of its OtherHeaders) takes its place. A
    // line that is no "Name: value" with a token for a name and no control
    // character but HT in its value, or that names Host or Content-Length, fails
    // the fetch before anything is sent (Failed, UnsafeHeader). The fetch never
    // writes them, nor the URL, to any log.
    QByteArray headers;
    // For the whole fetch, redirects included; at least one second.
    int timeoutSeconds = 15;
    // The caller bounds the wait itself, by interrupting the client
    // (setAction(httpIdle)) from an event of its own: the fetch sets no deadline,
    // makes no timer, and timeoutSeconds is not used. An exchange so ended is
    // Failed with Error::Interrupted; the caller knows why it interrupted.
    bool callerInterrupts = false;
    // Redirects followed at most (RedirectChain's rule); 0 makes a redirect the final answer.
    int maxRedirects = RedirectChain::DefaultLimit;

    // Where the final answer's body goes (whatever its status); any of these, or none.
    QString localFile;     // made, or emptied, when the final answer's body starts
    bool keepBody = false; // into FetchResult::body
    // Fed each piece of the body as it arrives; returning false ends the fetch (Stopped).
    std::function<bool(QByteArrayView piece)> consume;
    // Body bytes taken at most (0: no cap). Past it the fetch fails (TooLarge),
    // or with cutAtLimit it ends at once as if the answer were complete, with
    // the first maxBytes bytes delivered and FetchResult::cut set.
    qint64 maxBytes = 0;
    bool cutAtLimit = false;

    // Told of each header and of the start of each body, redirects' included; either may be empty.
    std::function<void(const QByteArray &field, const QByteArray &value)> onHeader;
    std::function<void()> onBodyStart;
    // Told before each request goes out, the first and each redirect's: what
    // onHeader and onBodyStart bring after it belongs to that request's answer.
    std::function<void()> onRequest;

    // Polled while the fetch waits (and before each request): true ends it at once (Stopped).
    std::function<bool()> stopRequested;
};

// What happened: the final address, the redirects taken, the final status
// line, and in text the one-line account of a failure.
struct FetchResult
{
    enum class Outcome {
        Success,         // the final answer is a 2xx, and its body came whole (or cut, when asked)
        HttpStatus,      // the final answer's status is no 2xx: text is its status line
        RedirectRefused, // a redirect was not taken: text says why (RedirectChain)
        Failed,          // no answer, or the network or local file failed: text "code: message" (error holds the
                         // code) or "no answer: the connection closed before a status line"
        TimedOut,        // the timeout passed: "no answer within N s" (or "no complete answer ...")
        Stopped,         // the caller's stop check or consumer ended it: "stopped"
        TooLarge,        // the body passed maxBytes: "larger than N bytes"
    };

    Outcome outcome = Outcome::Failed;
    QString text;                // "" on Success
    QByteArray finalUrl;         // the address asked last
    QList<QByteArray> redirects; // the addresses redirects led to, in order
    QByteArray statusLine;       // the last answer's, "" when none came
    int statusCode = -1;         // of statusLine, -1 without a well-formed one
    QByteArray location;         // the last answer's Location header
    std::optional<Error> error;  // Failed only
    QString message;             // with error: its text without the "code: " (the whole text when that is all)
    QByteArray body;             // keepBody only
    bool cut = false;

    bool ok() const { return outcome == Outcome::Success; }
    bool redirected() const { return !redirects.isEmpty(); }
};

// The status code of "HTTP/<digits>.<digits> <3 digits>[ text]", -1 for any other line.
int statusCodeOf(const QByteArray &statusLine);
// A status line as a message may show it: its first 200 bytes, control characters replaced.
QString printableStatusLine(const QByteArray &statusLine);

// Fetches request.url with the client, one request per address, following
// redirects by RedirectChain's rule, and returns what happened; never throws.
// The client's own request properties (proxy, user agent, headers) apply;
// credentials do not follow a redirect to another host. While it runs, the
// client's OnHeader, OnStartTransfer and OnTransfer are the fetch's (the
// request's onHeader, onBodyStart and consume are told what they bring); its
// other events stay the caller's. Afterwards the client's URL, method body, local
// file, limit, credentials, headers and those three events are what they were.
// Pumps events while it waits, like the client.
FetchResult Fetch(THTTPClient &http, const FetchRequest &request);

} // namespace net
