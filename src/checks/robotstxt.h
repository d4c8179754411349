#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace checks {

// A site's robots.txt as it applies to a crawler that answers to "*": the
// rules of every group whose user-agent lines name "*" (groups for named
// crawlers do not apply), and the Sitemap: lines of the whole file.
//
// Reading follows the robots exclusion protocol (RFC 9309): field names in any
// letter case, "#" comments, a UTF-8 byte-order mark, LF, CR LF or CR line ends;
// consecutive user-agent lines open one group, and a rule line before any
// user-agent line belongs to none. Only the first maxBytes bytes are read (the
// least the protocol asks a reader to take); a line cut there is dropped.
// An empty Allow or Disallow value is no rule. A line that is no field is
// passed over; the reader never fails.
class RobotsTxt
{
public:
    static constexpr qsizetype maxBytes = 500 * 1024;

    // Every path allowed: no robots.txt (a 4xx answer), or an empty one.
    RobotsTxt() = default;
    static RobotsTxt parse(QByteArrayView text);
    // Every path disallowed but /robots.txt itself: what a crawler assumes
    // while the site's robots.txt cannot be had (a 5xx answer, no connection).
    static RobotsTxt disallowAll();

    // Whether the crawler may fetch pathAndQuery ("/a/b?c", as it appears in
    // the request line). The longest matching pattern decides, counted in
    // bytes after percent-encoding has been brought to one spelling; Allow
    // wins a tie; no match allows. "*" stands for any run of bytes, a final
    // "$" for the end. /robots.txt is always allowed.
    bool allows(QByteArrayView pathAndQuery) const;

    // The absolute http(s) addresses of the Sitemap: lines, in file order,
    // each once; a relative one is passed over.
    const QList<QByteArray> &sitemaps() const { return m_sitemaps; }
    // Rules of the "*" groups read (both kinds).
    qsizetype ruleCount() const { return m_rules.size(); }

    // Percent-encoding in one spelling: an escape of an unreserved character
    // (letters, digits, "-", ".", "_", "~") decoded, other escapes in upper
    // case, bytes outside printable ASCII escaped. "*" and "$" are left alone.
    static QByteArray canonicalOctets(QByteArrayView text);

private:
    struct Rule
    {
        QByteArray pattern;     // canonical octets, runs of "*" as one
        qsizetype length = 0;   // of the pattern as written (canonical octets): the match's weight
        qsizetype literals = 0; // bytes a matching path must have at least
        bool allow = false;
    };

    static Rule ruleOf(QByteArrayView value, bool allow);
    static bool matches(QByteArrayView pattern, QByteArrayView path);

    QList<Rule> m_rules;
    QList<QByteArray> m_sitemaps;
    bool m_disallowAll = false;
};

} // namespace checks
