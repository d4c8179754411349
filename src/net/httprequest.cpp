#include "net/httprequest.h"

#include <algorithm>

namespace {

quint16 leadingPort(const QByteArray &text)
{
    quint32 port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        port = port * 10 + static_cast<quint32>(c - '0');
        // Beyond the port range the number names no port at all.
        if (port > 65535)
            return 0;
    }
    return static_cast<quint16>(port);
}

quint16 defaultPort(const QByteArray &scheme)
{
    return scheme == "https" ? 443 : 80;
}

void writeHeader(QByteArray &out, const char *name, const QByteArray &value)
{
    if (value.isEmpty())
        return;
    out += name;
    out += value;
    out += "\r\n";
}

} // namespace

void HttpRequestFields::assignUrl(const QByteArray &url)
{
    URL = url;
    URLScheme = QByteArrayLiteral("http");
    URLPath.clear();

    QByteArray rest = url;
    const qsizetype colon = url.indexOf(':');
    if (colon >= 0) {
        URLScheme = url.left(colon);
        rest = url.mid(colon + 1);
    }
    URLPort = defaultPort(URLScheme);
    if (rest.startsWith("//")) {
        QByteArray host = rest.mid(2);
        const qsizetype slash = host.indexOf('/');
        if (slash >= 0) {
            URLPath = host.mid(slash);
            host.truncate(slash);
        }
        const qsizetype portColon = host.indexOf(':');
        if (portColon >= 0) {
            URLPort = leadingPort(host.mid(portColon + 1));
            host.truncate(portColon);
        }
        if (host != URLServer && !URLServer.isEmpty()) {
            User.clear();
            Password.clear();
            Authorization.clear();
        }
        URLServer = host;
    }
    if (URLPath.isEmpty())
        URLPath = QByteArrayLiteral("/");
}

void HttpRequestFields::assignUser(const QByteArray &user)
{
    User = user;
    rebuildAuthorization();
}

void HttpRequestFields::assignPassword(const QByteArray &password)
{
    Password = password;
    rebuildAuthorization();
}

void HttpRequestFields::rebuildAuthorization()
{
    Authorization.clear();
    if (!User.isEmpty() && !Password.isEmpty())
        Authorization = "Basic " + (User + ':' + Password).toBase64();
}

void HttpRequestFields::resetHeaders()
{
    for (QByteArray *field : {&URL, &URLScheme, &URLServer, &URLPath, &PostData, &ContentType, &User, &Password,
                              &Authorization, &Accept, &From, &IfModifiedSince, &Referer, &Pragma, &OtherHeaders})
        field->clear();
    AttachedFile.clear();
    LocalFile.clear();
    URLPort = 80;
}

QByteArray HttpRequestFields::authority() const
{
    if (URLPort == defaultPort(URLScheme))
        return URLServer;
    return tunnelTarget();
}

QByteArray HttpRequestFields::tunnelTarget() const
{
    return URLServer + ':' + QByteArray::number(URLPort);
}

QByteArray HttpRequestFields::requestTarget() const
{
    if (ProxyServer.isEmpty() || tunnelled())
        return URLPath;
    return URLScheme + "://" + authority() + URLPath;
}

namespace http {

void writeRequestHead(QByteArray &out, const QByteArray &method, const HttpRequestFields &fields, qint64 bodyLength)
{
    out += method + ' ' + fields.requestTarget() + ' ' + fields.HTTPVersion + "\r\n";
    writeHeader(out, "Host: ", fields.authority());
    writeHeader(out, "Authorization: ", fields.Authorization);
    if (!fields.ProxyServer.isEmpty() && !fields.tunnelled())
        writeHeader(out, "Proxy-Authorization: ", fields.ProxyAuthorization);
    writeHeader(out, "Accept: ", fields.Accept);
    writeHeader(out, "From: ", fields.From);
    writeHeader(out, "User-Agent: ", fields.UserAgent);
    writeHeader(out, "If-Modified-Since: ", fields.IfModifiedSince);
    writeHeader(out, "Referer: ", fields.Referer);
    writeHeader(out, "Pragma: ", fields.Pragma);
    if (fields.KeepAlive)
        out += "Connection: keep-alive\r\n";
    out += fields.OtherHeaders;
    if (bodyLength < 0) {
        out += "\r\n";
        return;
    }
    writeHeader(out, "Content-Type: ", fields.ContentType);
    out += "Content-Length: " + QByteArray::number(bodyLength) + "\r\n\r\n";
}

void writeConnectHead(QByteArray &out, const HttpRequestFields &fields)
{
    const QByteArray target = fields.tunnelTarget();
    out += "CONNECT " + target + " HTTP/1.0\r\n";
    writeHeader(out, "Host: ", target);
    writeHeader(out, "Proxy-Authorization: ", fields.ProxyAuthorization);
    writeHeader(out, "User-Agent: ", fields.UserAgent);
    out += "\r\n";
}

std::optional<net::Error> refusal(const HttpRequestFields &fields, bool withBody)
{
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    const auto unsafeTarget = [&](const QByteArray &target) {
        return std::any_of(target.cbegin(), target.cend(), [&](char c) { return c == ' ' || control(c); });
    };
    if (unsafeTarget(fields.requestTarget()) || (fields.tunnelled() && unsafeTarget(fields.tunnelTarget())))
        return net::Error::UnsafeTarget;
    const auto unsafe = [&](const QByteArray &value) {
        return std::any_of(value.cbegin(), value.cend(), [&](char c) { return c != '\t' && control(c); });
    };
    // The Host value is the server name; Content-Type goes out with a body only.
    for (const QByteArray *value :
         {&fields.URLServer, &fields.Authorization, &fields.ProxyAuthorization, &fields.Accept, &fields.From,
          &fields.UserAgent, &fields.IfModifiedSince, &fields.Referer, &fields.Pragma}) {
        if (unsafe(*value))
            return net::Error::UnsafeHeader;
    }
    if (withBody && unsafe(fields.ContentType))
        return net::Error::UnsafeHeader;
    return std::nullopt;
}

} // namespace http
