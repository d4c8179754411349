#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

#include "net/fetch.h"

class THTTPClient;

namespace checks {

// The address of the robots.txt whose Sitemap: lines an import argument
// stands for: the argument itself when its path is /robots.txt, the site's
// /robots.txt when it is a site root ("https://host/" or "https://host", no
// query); "" for any other argument (a sitemap's own address, a file).
QByteArray robotsAddressFor(const QByteArray &argument);

// Fetches a robots.txt (redirects followed by net::Fetch's rule, at most
// RobotsTxt::maxBytes kept, the rest cut) for the checks and for discovery alike.
net::FetchResult fetchRobotsTxt(THTTPClient &http, const QByteArray &robotsAddress, int timeoutSeconds,
                                std::function<bool()> stopRequested = {});

// The sitemaps a site's robots.txt names.
struct SitemapDiscovery
{
    QList<QByteArray> sitemaps; // absolute addresses, in file order, each once
    QString error;              // "" when sitemaps holds at least one

    bool ok() const { return error.isEmpty(); }
};

// Fetches robotsAddress (redirects followed by net::Fetch's rule, at most
// RobotsTxt::maxBytes read) and returns the addresses of its Sitemap: lines.
// On failure error says why and sitemaps is empty:
//   "The robots.txt <url> cannot be read: <status line, redirect problem or network error>"
//   "The robots.txt <url> names no sitemap"
// Never throws; pumps events while it waits, like net::Fetch.
SitemapDiscovery discoverSitemaps(THTTPClient &http, const QByteArray &robotsAddress, int timeoutSeconds = 30);

} // namespace checks
