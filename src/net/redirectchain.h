#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace net {

// The redirects one fetch takes, and the rule for taking one more: a Location
// is resolved against the current address (RFC 3986, so "/new", "new" and
// "//host/new" all work), its fragment dropped, and the step is refused when it
// leads to another scheme than http or https, from https down to http, to an
// address seen before in this chain (a loop), or past the limit.
class RedirectChain
{
public:
    static constexpr int DefaultLimit = 5;

    explicit RedirectChain(const QByteArray &start, int limit = DefaultLimit);

    // The statuses that are followed when they carry a Location: 301, 302, 303, 307, 308.
    static bool isRedirectStatus(int statusCode);

    // Takes the step a Location names. Returns "" and makes the new address
    // current, or returns why the step is refused and changes nothing:
    // "too many redirects (more than 5)", "redirect loop at <url>",
    // "refused redirect from https to http: <url>", "refused redirect to
    // another scheme: <url>", "unusable redirect location: <location>".
    QString follow(const QByteArray &location);

    // The address to ask next (the start until a step is taken), fully encoded.
    QByteArray current() const { return m_current; }
    // Every address a step led to, in order.
    const QList<QByteArray> &taken() const { return m_taken; }
    int limit() const { return m_limit; }

private:
    QList<QByteArray> m_seen; // the start and each step, normalized for comparison
    QList<QByteArray> m_taken;
    QByteArray m_current;
    int m_limit;
};

} // namespace net
