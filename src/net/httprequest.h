#pragma once

#include <QByteArray>
#include <QString>

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
    QString LocalFile;

    // Stores the URL and sets scheme, server, port and path from it. Nothing is
    // encoded or decoded. A URL without "//" after the scheme keeps the server;
    // a URL on another server clears User, Password and Authorization. A port
    // that is not a number gives 0, and so does one above 65535.
    void assignUrl(const QByteArray &url);
    void assignUser(const QByteArray &user);
    void assignPassword(const QByteArray &password);
    // Clears the request properties; UserAgent, HTTPVersion and the proxy stay.
    void resetHeaders();

    // The request-line target: URLPath, or through a proxy the absolute URL
    // (":port" only when the port is not 80).
    QByteArray requestTarget() const;

private:
    void rebuildAuthorization();
};

namespace http {

// Appends the request line and the header lines, in their fixed order. For a
// body-less method the empty line follows; with a body (bodyLength >= 0) the
// Content-Type (when set) and Content-Length lines and the empty line do.
void writeRequestHead(QByteArray &out, const QByteArray &method, const HttpRequestFields &fields,
                      qint64 bodyLength = -1);

} // namespace http
