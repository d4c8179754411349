#pragma once

#include <QByteArray>
#include <QString>

namespace checks {

// Whether a page may be submitted, and if not why, in the words a report row
// shows. The kinds are closed; text is "" for Indexable and otherwise one of:
//   NoindexHeader       "noindex (X-Robots-Tag)"
//   NoindexMeta         "noindex (meta robots)"
//   CanonicalElsewhere  "canonical points to <url>"
//   RobotsDisallowed    "disallowed by robots.txt"
//   RobotsUnreadable    "robots.txt answers <status>" (a 5xx, a 429: "robots.txt answers
//                       503 Service Unavailable") or "robots.txt: <network error>"
//   Redirected          "redirects to <url>" (the final address)
//   HttpStatus          "answers <status line>" (a final 1xx, 3xx, or 4xx but 429)
//   Unreachable         the cause the page could not be checked: the fetch's own
//                       account (a network error, a refused redirect, "no answer
//                       within N s", "connection refused (10061)"), a 5xx or a
//                       429 after its retries ("503 Service Unavailable"), a 304
//                       to a request without validators, a host left alone
//                       ("... (asked to wait until 2026-12-08 15:00 UTC)"),
//                       signals that cannot be read
// A page whose robots.txt cannot be read, or that is Unreachable, could not be
// checked: nothing is known of it, so it is neither "may not be indexed" nor
// unchanged, and whatever it owes an engine it still owes.
struct PageVerdict
{
    enum class Kind {
        Indexable,
        NoindexHeader,
        NoindexMeta,
        CanonicalElsewhere,
        RobotsDisallowed,
        RobotsUnreadable,
        Redirected,
        HttpStatus,
        Unreachable,
    };

    Kind kind = Kind::Indexable;
    QString text;

    bool indexable() const { return kind == Kind::Indexable; }
    bool checked() const { return kind != Kind::Unreachable && kind != Kind::RobotsUnreadable; }

    static PageVerdict indexablePage() { return {}; }
    static PageVerdict noindexHeader() { return {Kind::NoindexHeader, QStringLiteral("noindex (X-Robots-Tag)")}; }
    static PageVerdict noindexMeta() { return {Kind::NoindexMeta, QStringLiteral("noindex (meta robots)")}; }
    static PageVerdict canonicalElsewhere(const QByteArray &url)
    {
        return {Kind::CanonicalElsewhere, QStringLiteral("canonical points to ") + QString::fromUtf8(url)};
    }
    static PageVerdict robotsDisallowed()
    {
        return {Kind::RobotsDisallowed, QStringLiteral("disallowed by robots.txt")};
    }
    static PageVerdict robotsUnreadable(const QString &why) { return {Kind::RobotsUnreadable, why}; }
    static PageVerdict redirected(const QByteArray &url)
    {
        return {Kind::Redirected, QStringLiteral("redirects to ") + QString::fromUtf8(url)};
    }
    static PageVerdict httpStatus(const QString &printableStatusLine)
    {
        return {Kind::HttpStatus, QStringLiteral("answers ") + printableStatusLine};
    }
    static PageVerdict unreachable(const QString &why) { return {Kind::Unreachable, why}; }

    bool operator==(const PageVerdict &) const = default;
};

} // namespace checks
