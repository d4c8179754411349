#pragma once

#include <QByteArray>

#include "net/bodyfile.h"
#include "net/clientsock.h"
#include "net/httprequest.h"
#include "net/httpresponse.h"

class QFile;
class THTTPClient;

// The HTTP side of the component's connection: writes one request, parses
// the response as it arrives, streams the body into the local file and fires
// the component's events. With KeepAlive it keeps the connection after a
// whole answer whose server keeps it too, and the next request to the same
// scheme, host and port (through the same proxy) goes over it.
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
    //
    // With KeepAlive the exchange returns once the answer is whole (OnEndTransfer
    // fires then; OnDisconnected only when the connection closes during the
    // exchange), and a body cut short by the close throws 171, a broken chunked
    // framing 170. A kept connection the server has closed meanwhile (the
    // request cannot be written, or the end comes before a byte of the answer)
    // is replaced once by a new one for a GET or HEAD, without events for the
    // dead one; another method fails as it would on a new connection.
    void perform(const QByteArray &method, const HttpRequestFields &fields, QByteArray *statusLine);
    // Ends the exchange under way (ClientSocket::interrupt); a kept connection
    // with no exchange stays.
    void interrupt();
    // The socket of the exchange under way, -1 between exchanges (also while a
    // connection is kept).
    int exchangeSocket() const { return m_kept ? -1 : socketHandle(); }
    // Closes a kept connection without events.
    void dropKept();

    const HttpResponseParser &parser() const { return m_parser; }
    // The last exchange's local file was cut at its limit.
    bool localFileCut() const { return m_bodyFile.cut(); }

private:
    void connectToPeer(const HttpRequestFields &fields);
    // One attempt on the connection at hand (made unless reused); true when
    // a reused connection turned out dead and the request may go again.
    bool attempt(const QByteArray &method, const HttpRequestFields &fields, bool reused);
    void exchange(const QByteArray &method, const HttpRequestFields &fields);
    // After a whole exchange: keeps the connection when the answer allows, else closes it.
    void keepOrClose(const QByteArray &key);
    // The events of a reused connection that died before its answer began are not told.
    bool silenced() const { return m_mayRetry && !m_received; }
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
    void answerEnded() override;
    void framingFailed(const QString &detail) override;
    void endTransfer();

    THTTPClient &m_owner;
    HttpResponseParser m_parser;
    BodyFile m_bodyFile;
    // The stream of the exchange under way: TLS for the host, through a
    // tunnel opened with the CONNECT request when there is one.
    bool m_tls = false;
    QByteArray m_tlsHost;
    QByteArray m_connectRequest;
    QString m_proxyName; // "host:port" of the proxy, for the tunnel's failures
    // A connection kept from the last exchange, and the scheme, host, port
    // and proxy it serves.
    bool m_kept = false;
    QByteArray m_keptFor;
    // The exchange under way: any byte of the answer came; its transfer was
    // told ended; a dead reused connection may be replaced.
    bool m_received = false;
    bool m_transferEnded = false;
    bool m_mayRetry = false;
    char m_text[LineBuffer::m_lenBuffer + 1];
};
