#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "checks/pageverdict.h"

namespace checks {

// What a page says about its own indexing, gathered from its final answer's
// headers and its HTML, and the verdict they give.
//
// A noindex given to one named crawler counts like one given to all
// ("googlebot: noindex" in X-Robots-Tag, <meta name="googlebot" content=
// "noindex">): a submission asks every chosen engine to index the page, and
// the site's owner has said that at least one must not. Meta names that count
// are "robots" and any name ending in "bot" (googlebot, bingbot, ...); other
// meta names (description, viewport) never do.
struct PageSignals
{
    bool noindexHeader = false;
    bool noindexMeta = false;
    QByteArray canonical; // the first canonical link, resolved and encoded; "" when none
    // Why the signals could not be read with confidence ("cannot read the
    // page's encoding: utf-32"); "" when they could. A noindex found all the
    // same still counts: it was read.
    QString unreadable;

    // One X-Robots-Tag header value; several headers are fed one by one.
    void takeRobotsHeader(QByteArrayView value);

    // The verdict for a page whose final address is finalUrl: noindex in a
    // header first, then in the HTML, then signals that could not be read (the
    // page could not be checked), then a canonical link to another address.
    PageVerdict verdict(const QByteArray &finalUrl) const;
};

// The HTML's part of the signals that gave a page's verdict, when the verdict
// tells it whole: none for an indexable page (a canonical to the page itself
// counts as none), a meta noindex, a canonical elsewhere. nullopt for a verdict
// that hides them (a noindex header, a redirect, a page not read).
std::optional<PageSignals> htmlSignalsBehind(const PageVerdict &verdict);

// Whether a robots directive list ("noindex, nofollow", "googlebot: none",
// "unavailable_after: 25 Jun 2030 15:00:00 GMT") holds noindex or none, in any
// letter case.
bool robotsDirectivesForbidIndexing(QByteArrayView directives);

// Whether a <meta name> is addressed to crawlers (see PageSignals).
bool isRobotsMetaName(QByteArrayView name);

// An address in the one spelling two equal addresses share: scheme and host
// in lower case, the scheme's default port left out, an empty path "/", the
// fragment dropped, percent-escapes of unreserved characters decoded. "" for
// no valid absolute http(s) address.
QByteArray normalizedAddress(const QByteArray &url);

// href resolved against base (both encoded); "" when it yields no valid
// absolute http(s) address.
QByteArray resolvedAddress(const QByteArray &base, QByteArrayView href);

} // namespace checks
