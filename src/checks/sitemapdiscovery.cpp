#include "checks/sitemapdiscovery.h"

#include <QUrl>

#include "checks/robotstxt.h"
#include "net/fetch.h"

namespace checks {

QByteArray robotsAddressFor(const QByteArray &argument)
{
    const QUrl url = QUrl::fromEncoded(argument.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    const QString path = url.path();
    if (path == QLatin1String("/robots.txt"))
        return url.adjusted(QUrl::RemoveFragment).toEncoded();
    if ((path.isEmpty() || path == QLatin1String("/")) && !url.hasQuery())
        return url.adjusted(QUrl::RemoveFragment | QUrl::RemovePath).toEncoded() + "/robots.txt";
    return {};
}

net::FetchResult fetchRobotsTxt(THTTPClient &http, const QByteArray &robotsAddress, int timeoutSeconds,
                                std::function<bool()> stopRequested)
{
    net::FetchRequest request;
    request.url = robotsAddress;
    request.keepBody = true;
    request.maxBytes = RobotsTxt::maxBytes;
    request.cutAtLimit = true;
    request.timeoutSeconds = timeoutSeconds;
    request.stopRequested = std::move(stopRequested);
    return net::Fetch(http, request);
}

SitemapDiscovery discoverSitemaps(THTTPClient &http, const QByteArray &robotsAddress, int timeoutSeconds)
{
    const net::FetchResult fetched = fetchRobotsTxt(http, robotsAddress, timeoutSeconds);
    const QString named = QStringLiteral("The robots.txt ") + QString::fromUtf8(robotsAddress);
    SitemapDiscovery found;
    if (!fetched.ok()) {
        found.error = named + QStringLiteral(" cannot be read: ") + fetched.text;
        return found;
    }
    found.sitemaps = RobotsTxt::parse(fetched.body).sitemaps();
    if (found.sitemaps.isEmpty())
        found.error = named + QStringLiteral(" names no sitemap");
    return found;
}

} // namespace checks
