#include "net/redirectchain.h"

#include <QUrl>

namespace net {

namespace {

// One address in the form two spellings of it share: host in lower case, the
// scheme's own port left out, dot segments resolved, no fragment.
QByteArray comparable(const QUrl &url)
{
    QUrl normal = url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    const bool https = normal.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (normal.port() == (https ? 443 : 80))
        normal.setPort(-1);
    if (normal.path().isEmpty())
        normal.setPath(QStringLiteral("/"));
    return normal.toEncoded();
}

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

RedirectChain::RedirectChain(const QByteArray &start, int limit) : m_current(start), m_limit(qMax(limit, 0))
{
    m_seen.append(comparable(QUrl::fromEncoded(start)));
}

bool RedirectChain::isRedirectStatus(int statusCode)
{
    return statusCode == 301 || statusCode == 302 || statusCode == 303 || statusCode == 307 || statusCode == 308;
}

QString RedirectChain::follow(const QByteArray &location)
{
    const QUrl relative = QUrl::fromEncoded(location.trimmed(), QUrl::TolerantMode);
    const QUrl base = QUrl::fromEncoded(m_current, QUrl::TolerantMode);
    QUrl next = base.resolved(relative).adjusted(QUrl::RemoveFragment);
    // The client takes everything up to the first "/" as the host: a bare query needs its path.
    if (next.path().isEmpty())
        next.setPath(QStringLiteral("/"));
    const QByteArray address = next.toEncoded();
    if (location.trimmed().isEmpty() || !relative.isValid() || !next.isValid() || next.host().isEmpty())
        return QStringLiteral("unusable redirect location: ") + QString::fromLatin1(location.left(200));
    if (!isWebScheme(next.scheme()))
        return QStringLiteral("refused redirect to another scheme: ") + QString::fromLatin1(address);
    if (base.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http"))
        return QStringLiteral("refused redirect from https to http: ") + QString::fromLatin1(address);
    const QByteArray key = comparable(next);
    if (m_seen.contains(key))
        return QStringLiteral("redirect loop at ") + QString::fromLatin1(address);
    if (m_taken.size() >= m_limit)
        return QStringLiteral("too many redirects (more than %1)").arg(m_limit);
    m_seen.append(key);
    m_taken.append(address);
    m_current = address;
    return {};
}

} // namespace net
