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
//   RobotsUnreadable    "robots.txt answers <status line>" or "robots.txt: <network error>"
//                       (a crawler takes an unreadable robots.txt as a complete disallow)
//   Redirected          "redirects to <url>" (the final address)
//   HttpStatus          "answers <status line>" (a final answer that is no 2xx)
//   Unreachable         the fetch's own account: a network error, a refused
//                       redirect, "no answer within N s"
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
