#include "net/proxyenvironment.h"

#include <QByteArrayList>
#include <QString>
#include <cstdlib>

#include "net/neterror.h"

namespace net {

namespace {

constexpr quint16 defaultProxyPort = 1080;

// The lower-case variable when set and not empty, else the upper-case one; the name used goes to *used.
QByteArray variable(const EnvironmentLookup &environment, const char *lower, const char *upper, const char **used)
{
    for (const char *name : {lower, upper}) {
        const QByteArray value = environment(name);
        if (!value.isEmpty()) {
            *used = name;
            return value;
        }
    }
    return {};
}

std::optional<quint16> portNumber(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

// The value as a message may show it: a password in it is not shown.
QString shown(const QByteArray &value)
{
    const qsizetype at = value.lastIndexOf('@');
    if (at < 0)
        return QString::fromLocal8Bit(value);
    const qsizetype schemeEnd = value.indexOf("://");
    const qsizetype userStart = schemeEnd >= 0 && schemeEnd < at ? schemeEnd + 3 : 0;
    return QString::fromLocal8Bit(value.left(userStart) + "***" + value.mid(at));
}

} // namespace

QByteArray processEnvironment(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? QByteArray(value) : QByteArray();
}

std::optional<ProxyRoute> parseProxyUrl(const QByteArray &value)
{
    QByteArray rest = value.trimmed();
    const qsizetype schemeEnd = rest.indexOf("://");
    if (schemeEnd >= 0) {
        if (rest.left(schemeEnd).toLower() != "http")
            return std::nullopt;
        rest = rest.mid(schemeEnd + 3);
    }
    const qsizetype slash = rest.indexOf('/');
    if (slash >= 0)
        rest.truncate(slash);
    ProxyRoute route;
    const qsizetype at = rest.lastIndexOf('@');
    if (at >= 0) {
        const QByteArray userInfo = rest.left(at);
        const qsizetype colon = userInfo.indexOf(':');
        const QByteArray user = QByteArray::fromPercentEncoding(colon >= 0 ? userInfo.left(colon) : userInfo);
        const QByteArray password = colon >= 0 ? QByteArray::fromPercentEncoding(userInfo.mid(colon + 1)) : "";
        route.authorization = "Basic " + (user + ':' + password).toBase64();
        rest = rest.mid(at + 1);
    }
    const qsizetype colon = rest.indexOf(':');
    route.host = colon >= 0 ? rest.left(colon) : rest;
    route.port = defaultProxyPort;
    if (colon >= 0) {
        const std::optional<quint16> port = portNumber(rest.mid(colon + 1));
        if (!port)
            return std::nullopt;
        route.port = *port;
    }
    if (route.host.isEmpty())
        return std::nullopt;
    return route;
}

bool proxyBypassed(const QByteArray &noProxy, const QByteArray &host, quint16 port)
{
    QByteArray name = host.toLower();
    if (name.endsWith('.'))
        name.chop(1);
    for (QByteArray entry : noProxy.split(',')) {
        entry = entry.trimmed().toLower();
        if (entry == "*")
            return true;
        // "host:port" and "[v6]:port" name a port; a bare IPv6 address has several colons and none.
        const qsizetype colon = entry.lastIndexOf(':');
        const bool bracketed = entry.startsWith('[');
        if (colon >= 0 && (bracketed ? entry.at(colon - 1) == ']' : entry.indexOf(':') == colon)) {
            const std::optional<quint16> entryPort = portNumber(entry.mid(colon + 1));
            if (!entryPort || *entryPort != port)
                continue;
            entry.truncate(colon);
        }
        if (entry.startsWith('[') && entry.endsWith(']'))
            entry = entry.mid(1, entry.size() - 2);
        while (entry.startsWith('.'))
            entry.remove(0, 1);
        if (entry.endsWith('.'))
            entry.chop(1);
        if (entry.isEmpty())
            continue;
        if (name == entry || (name.endsWith(entry) && name.at(name.size() - entry.size() - 1) == '.'))
            return true;
    }
    return false;
}

std::optional<ProxyRoute> environmentProxy(const QByteArray &scheme, const QByteArray &host, quint16 port,
                                           const EnvironmentLookup &environment)
{
    const char *name = nullptr;
    QByteArray value;
    if (scheme == "http")
        value = variable(environment, "http_proxy", "HTTP_PROXY", &name);
    else if (scheme == "https")
        value = variable(environment, "https_proxy", "HTTPS_PROXY", &name);
    if (value.isEmpty())
        return std::nullopt;
    const char *noProxyName = nullptr;
    if (proxyBypassed(variable(environment, "no_proxy", "NO_PROXY", &noProxyName), host, port))
        return std::nullopt;
    const std::optional<ProxyRoute> route = parseProxyUrl(value);
    if (!route)
        throw ENetCore(Error::ProxyInvalid,
                       errorText(Error::ProxyInvalid, QLatin1String(name) + QLatin1Char('=') + shown(value)));
    return route;
}

} // namespace net
