#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "net/neterror.h"

// The request properties of the HTTP component, and the rules that tie them
// together: assigning a URL splits it into its parts, and assigning a user
// name or password rebuilds the Basic authorization.
struct HttpRequestFields
{
    QByteArray URL;
    QByteArray URLScheme;
    QByteArray URLServer;
    quint16 URLPort = 80;
    QByteArray URLPath;
    QByteArray ProxyServer;
    quint16 ProxyPort = 80;
    // "Basic ..." for the proxy, from the user name and password of a proxy
    // URL; it goes to the proxy only, never through a tunnel.
    QByteArray ProxyAuthorization;
    QByteArray PostData;
    QByteArray ContentType;
    QString AttachedFile;
    QByteArray User;
    QByteArray Password;
    QByteArray Authorization;
    QByteArray Accept;
    QByteArray From;
    QByteArray UserAgent;
    QByteArray IfModifiedSince;
    QByteArray Referer;
    QByteArray Pragma;
    QByteArray OtherHeaders;
    QByteArray HTTPVersion = QByteArrayLiteral("HTTP/1.0");
    // Asks the server to keep the connection ("Connection: keep-alive") and
    // reads the answer's framing, so that the connection can carry the next
    // request; off, every exchange has a connection of its own.
    bool KeepAlive = false;
    QString LocalFile;
    // Bytes of body the local file takes at most; 0 for no limit.
    qint64 LocalFileLimit = 0;

    // Stores the URL and sets scheme, server, port and path from it (the port
    // 443 for "https", else 80, unless the URL gives one). Nothing is encoded
    // or decoded. A URL without "//" after the scheme keeps the server;
    // a URL on another server clears User, Password and Authorization. A port
    // that is not a number gives 0, and so does one above 65535.
    void assignUrl(const QByteArray &url);
    void assignUser(const QByteArray &user);
    void assignPassword(const QByteArray &password);
    // Clears the request properties; UserAgent, HTTPVersion, KeepAlive and the proxy stay.
    void resetHeaders();

    // The target's server with ":port" when the port is not the scheme's
    // default (443 for "https", 80 for any other): the Host value, also
    // through a proxy.
    QByteArray authority() const;
    // The request-line target: URLPath, or through a proxy the absolute URL;
    // an https request through a proxy goes through a tunnel, with URLPath.
    QByteArray requestTarget() const;
    // An https request that goes through the proxy's tunnel.
    bool tunnelled() const { return !ProxyServer.isEmpty() && URLScheme == "https"; }
    // "server:port" with the port always written: the CONNECT target.
    QByteArray tunnelTarget() const;

private:
    void rebuildAuthorization();
};

namespace http {

// Appends the request line and the header lines, Host first, then the others
// in their fixed order (with KeepAlive, "Connection: keep-alive" before
// OtherHeaders). For a body-less method the empty line follows; with a
// body (bodyLength >= 0) the Content-Type (when set) and Content-Length lines
// and the empty line do.
void writeRequestHead(QByteArray &out, const QByteArray &method, const HttpRequestFields &fields,
                      qint64 bodyLength = -1);

// Appends the request that opens a proxy tunnel to the target: "CONNECT
// server:port HTTP/1.0", the Host (the same server:port), the
// Proxy-Authorization and User-Agent when set, and the empty line.
void writeConnectHead(QByteArray &out, const HttpRequestFields &fields);

// Why the request must not be sent: UnsafeTarget when the request-line target
// (or the tunnel's target) holds a blank or a control character, UnsafeHeader
// when a header value that would be written holds a control character other
// than HT. OtherHeaders (its own lines) and the body are not looked at.
// Nothing when it is safe.
std::optional<net::Error> refusal(const HttpRequestFields &fields, bool withBody);

} // namespace http
