#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "net/httpengine.h"
#include "net/httprequest.h"
#include "net/netcore.h"

enum THTTPActions { httpIdle = 0, httpGet, httpPost, httpHead, httpResetHeaders, httpPut };

// The program's HTTP/1.0 client, driven through properties. Fill URL and the
// request properties, then assign an action: setAction(httpGet/httpPost/
// httpHead/httpPut) performs the whole exchange, one request on a connection
// of its own, and returns when the server has closed the connection or the
// exchange was interrupted (setAction(httpIdle) from a handler that runs
// inside the wait). A failed exchange throws ENetCore out of setAction; the
// events fire on the calling (UI) thread from inside the wait.
//
// On a return without exception: the connection is closed, OnEndTransfer and
// OnDisconnected have fired, the local file (when set and a body byte came)
// holds the body (up to LocalFileLimit) and is closed unless OnError reported
// a local-file problem, and StatusLine holds a 2xx status line, or "" when
// none arrived. After a failure StatusLine holds the status line if one came.
//
// A request whose target would hold a blank or a control character, or whose
// header values a line break or control character, is refused (154, 155)
// before anything is sent.
//
// "https" URLs go over TLS 1.2 or later with the server's certificate always
// verified (the system trust store; SSL_CERT_FILE and SSL_CERT_DIR name
// another). While ProxyServer is empty, http_proxy, https_proxy and no_proxy
// (or their upper-case forms) choose a proxy the way curl does; an https
// request goes through the proxy's CONNECT tunnel.
//
// What is said above of the connection's end holds while PersistentConnection
// is off (the default); with it on, the connection outlives the exchange (see
// setPersistentConnection).
//
// A new component holds the socket layer (SocketLayerLoaded is true).
class THTTPClient : public NetCore
{
    Q_OBJECT

public:
    explicit THTTPClient(QObject *parent = nullptr);
    ~THTTPClient() override;

    // Always httpIdle.
    THTTPActions Action() const { return httpIdle; }
    // Clears StatusLine, then performs the action. httpIdle and
    // httpResetHeaders never throw; the request actions throw ENetCore.
    void setAction(THTTPActions action);

    QByteArray URL() const { return m_fields.URL; }
    // Also sets URLScheme, URLServer, URLPort and URLPath. Throws 200 only
    // when memory cannot be had.
    void setURL(const QByteArray &url);
    QByteArray URLScheme() const { return m_fields.URLScheme; }
    void setURLScheme(const QByteArray &scheme) { m_fields.URLScheme = scheme; }
    QByteArray URLServer() const { return m_fields.URLServer; }
    void setURLServer(const QByteArray &server) { m_fields.URLServer = server; }
    quint16 URLPort() const { return m_fields.URLPort; }
    void setURLPort(quint16 port) { m_fields.URLPort = port; }
    QByteArray URLPath() const { return m_fields.URLPath; }
    void setURLPath(const QByteArray &path) { m_fields.URLPath = path; }

    QByteArray ProxyServer() const { return m_fields.ProxyServer; }
    void setProxyServer(const QByteArray &server) { m_fields.ProxyServer = server; }
    quint16 ProxyPort() const { return m_fields.ProxyPort; }
    void setProxyPort(quint16 port) { m_fields.ProxyPort = port; }
    // "Basic ..." sent to the proxy set here (an environment proxy brings its own).
    QByteArray ProxyAuthorization() const { return m_fields.ProxyAuthorization; }
    void setProxyAuthorization(const QByteArray &value) { m_fields.ProxyAuthorization = value; }

    QByteArray PostData() const { return m_fields.PostData; }
    void setPostData(const QByteArray &data) { m_fields.PostData = data; }
    QByteArray ContentType() const { return m_fields.ContentType; }
    void setContentType(const QByteArray &type) { m_fields.ContentType = type; }
    QString AttachedFile() const { return m_fields.AttachedFile; }
    void setAttachedFile(const QString &path) { m_fields.AttachedFile = path; }

    // Assigning User or Password rebuilds Authorization (Basic, when both are set).
    QByteArray User() const { return m_fields.User; }
    void setUser(const QByteArray &user);
    QByteArray Password() const { return m_fields.Password; }
    void setPassword(const QByteArray &password);
    QByteArray Authorization() const { return m_fields.Authorization; }
    void setAuthorization(const QByteArray &value) { m_fields.Authorization = value; }

    QByteArray Accept() const { return m_fields.Accept; }
    void setAccept(const QByteArray &value) { m_fields.Accept = value; }
    QByteArray From() const { return m_fields.From; }
    void setFrom(const QByteArray &value) { m_fields.From = value; }
    QByteArray UserAgent() const { return m_fields.UserAgent; }
    void setUserAgent(const QByteArray &value) { m_fields.UserAgent = value; }
    QByteArray IfModifiedSince() const { return m_fields.IfModifiedSince; }
    void setIfModifiedSince(const QByteArray &value) { m_fields.IfModifiedSince = value; }
    QByteArray Referer() const { return m_fields.Referer; }
    void setReferer(const QByteArray &value) { m_fields.Referer = value; }
    QByteArray Pragma() const { return m_fields.Pragma; }
    void setPragma(const QByteArray &value) { m_fields.Pragma = value; }
    // Written verbatim after the standard headers: it carries its own CR LF ends.
    QByteArray OtherHeaders() const { return m_fields.OtherHeaders; }
    void setOtherHeaders(const QByteArray &value) { m_fields.OtherHeaders = value; }
    QByteArray HTTPVersion() const { return m_fields.HTTPVersion; }
    void setHTTPVersion(const QByteArray &value) { m_fields.HTTPVersion = value; }
    // Off (the default): every request goes on a connection of its own, which
    // the server's close ends. On: requests say "Connection: keep-alive", the
    // answer's body ends where Content-Length or the chunked framing says (or
    // at the close when neither is given), and a whole answer whose server
    // keeps the connection leaves it open for the next request to the same
    // scheme, host and port through the same proxy; setAction returns when the
    // answer is whole. A GET or HEAD that finds the kept connection closed by
    // the server goes once more on a new one. An error, an interrupt or a
    // server that does not keep it ends the connection. The request line
    // keeps HTTPVersion: "HTTP/1.1" is the caller's to set. Turning it off
    // closes a kept connection.
    bool PersistentConnection() const { return m_fields.KeepAlive; }
    void setPersistentConnection(bool on);
    QString LocalFile() const { return m_fields.LocalFile; }
    void setLocalFile(const QString &path) { m_fields.LocalFile = path; }
    // Body bytes the local file takes at most (0, the default, for no limit);
    // the events still report every byte. httpResetHeaders leaves it.
    qint64 LocalFileLimit() const { return m_fields.LocalFileLimit; }
    void setLocalFileLimit(qint64 bytes) { m_fields.LocalFileLimit = qMax<qint64>(bytes, 0); }
    // The last exchange's local file was cut at LocalFileLimit.
    bool LocalFileCut() const { return m_engine.localFileCut(); }

    // The last response's final status line (at most 1024 bytes), also when
    // the exchange failed after it arrived.
    QByteArray StatusLine() const { return m_statusLine; }
    // The status line of the answer under way, for the events that fire while
    // it arrives (OnHeader, OnStartTransfer, OnTransfer); "" before one came.
    QByteArray ResponseStatusLine() const { return m_engine.parser().statusLine(); }
    // While connected the local address, otherwise the computer's host name.
    QByteArray LocalHost() const { return m_engine.localHost(); }
    // The socket of the exchange under way; -1 between exchanges, also while
    // a connection is kept.
    int SocketHandle() const { return m_engine.exchangeSocket(); }

    bool SocketLayerLoaded() const { return m_engine.socketLayer().loaded(); }
    void setSocketLayerLoaded(bool loaded) { m_engine.socketLayer().setLoaded(loaded); }
    QByteArray SocketLayerInfo() const { return m_engine.socketLayer().info(); }
    QByteArray SocketLayerStatus() const { return m_engine.socketLayer().status(); }
    QByteArray SocketLayerPath() const { return m_engine.socketLayer().path(); }
    void setSocketLayerPath(const QByteArray &path) { m_engine.socketLayer().setPath(path); }
    int SocketLayerMaxSockets() const { return m_engine.socketLayer().maxSockets(); }
    int SocketLayerMaxDatagramSize() const { return m_engine.socketLayer().maxDatagramSize(); }

    // Events; each fires only when assigned. Handlers may pump events and may
    // assign httpIdle, but must not start another request action (101).
    std::function<void(QObject *Sender, int StatusCode, const QString &Description)> OnConnected;
    std::function<void(QObject *Sender, const QByteArray &Field, const QByteArray &Value)> OnHeader;
    std::function<void(QObject *Sender)> OnStartTransfer;
    // Text is a copy of the chunk followed by a zero byte that lenText does not count.
    std::function<void(QObject *Sender, qint32 BytesTransferred, const char *Text, quint16 lenText)> OnTransfer;
    std::function<void(QObject *Sender)> OnEndTransfer;
    std::function<void(QObject *Sender, int StatusCode, const QString &Description)> OnDisconnected;

    static QByteArray defaultUserAgent() { return QByteArrayLiteral("Quillcast-HTTP/2.05"); }

private:
    void performRequest(const QByteArray &method);

    HttpRequestFields m_fields;
    QByteArray m_statusLine;
    HttpEngine m_engine;
};
