#pragma once

#include <QByteArray>

#include "net/bodyfile.h"
#include "net/clientsock.h"
#include "net/httprequest.h"
#include "net/httpresponse.h"

class QFile;
class THTTPClient;

// The HTTP side of the component's connection: writes one HTTP/1.0 request,
// parses the response as it arrives, streams the body into the local file and
// fires the component's events.
class HttpEngine : public ClientSocket, private HttpResponseSink
{
public:
    explicit HttpEngine(THTTPClient &owner);

    // Performs one exchange with the given method ("GET", "HEAD", "POST",
    // "PUT"; the last two send a body). Returns when the server has closed the
    // connection or the exchange was interrupted. An "https" URL goes over
    // TLS; without a proxy property, the environment may name a proxy
    // (proxyenvironment.h), and an https request goes through its tunnel.
    // Throws ENetCore: 152, 153, 154, 155 and 159 before anything happens, 101
    // while a connection exists, 156 when the proxy cannot be reached, 157
    // and 158 when it refuses the tunnel, 160-164 for TLS, the connection and
    // socket codes, 302 for an unreadable attached file, 301 when a wait was
    // ended, and 151 when the final status text does not begin with "2".
    // statusLine receives the final status line whenever one arrived, also
    // when the exchange then failed.
    // Whatever fails after the socket was made, the connection is closed
    // without further events, so the next exchange starts clean.
    void perform(const QByteArray &method, const HttpRequestFields &fields, QByteArray *statusLine);

    const HttpResponseParser &parser() const { return m_parser; }
    // The last exchange's local file was cut at its limit.
    bool localFileCut() const { return m_bodyFile.cut(); }

private:
    void connectToPeer(const HttpRequestFields &fields);
    void exchange(const QByteArray &method, const HttpRequestFields &fields);
    std::unique_ptr<ByteStream> openStream(int fd) override;
    void sendAttachedFile(QFile &attached, qint64 length);

    void deliver(const char *data, int len) override;
    void connectionFinished(int code, const QString &description) override;
    void closing() override;
    void disconnected(int code, const QString &description) override;
    void receiveError(net::Error code, const QString &description) override;

    void header(const QByteArray &field, const QByteArray &value) override;
    void startTransfer() override;
    void body(const char *data, int len, qint64 bodyCount) override;

    THTTPClient &m_owner;
    HttpResponseParser m_parser;
    BodyFile m_bodyFile;
    // The stream of the exchange under way: TLS for the host, through a
    // tunnel opened with the CONNECT request when there is one.
    bool m_tls = false;
    QByteArray m_tlsHost;
    QByteArray m_connectRequest;
    QString m_proxyName; // "host:port" of the proxy, for the tunnel's failures
    char m_text[LineBuffer::m_lenBuffer + 1];
};
