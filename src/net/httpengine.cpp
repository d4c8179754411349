#include "net/httpengine.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <limits>

#include "net/httpclient.h"
#include "net/proxyenvironment.h"
#include "net/tlsstream.h"
#include "net/tunnelstream.h"

namespace {

// How failures name the proxy: "host:port".
QString proxyName(const HttpRequestFields &fields)
{
    return QString::fromLatin1(fields.ProxyServer) + QLatin1Char(':') + QString::number(fields.ProxyPort);
}

// What a kept connection serves: a request for the same key may use it.
QByteArray connectionKey(const HttpRequestFields &fields)
{
    return fields.URLScheme.toLower() + ' ' + fields.URLServer.toLower() + ' ' + QByteArray::number(fields.URLPort) +
           ' ' + fields.ProxyServer.toLower() + ' ' + QByteArray::number(fields.ProxyPort) + ' ' +
           fields.ProxyAuthorization;
}

} // namespace

HttpEngine::HttpEngine(THTTPClient &owner) : ClientSocket(owner), m_owner(owner), m_parser(*this)
{}

void HttpEngine::perform(const QByteArray &method, const HttpRequestFields &request, QByteArray *statusLine)
{
    if (request.URLServer.isEmpty())
        throw ENetCore(net::Error::NoServer);
    HttpRequestFields fields = request;
    // A proxy set on the component wins over the environment's.
    if (fields.ProxyServer.isEmpty()) {
        if (const std::optional<net::ProxyRoute> proxy =
                net::environmentProxy(fields.URLScheme, fields.URLServer, fields.URLPort)) {
            fields.ProxyServer = proxy->host;
            fields.ProxyPort = proxy->port;
            fields.ProxyAuthorization = proxy->authorization;
        }
    }
    const bool viaProxy = !fields.ProxyServer.isEmpty();
    const bool tls = fields.URLScheme == "https";
    if (!viaProxy && !tls && fields.URLScheme != "http")
        throw ENetCore(net::Error::BadScheme);
    const bool withBody = method == "POST" || method == "PUT";
    if (const std::optional<net::Error> refused = http::refusal(fields, withBody))
        throw ENetCore(*refused);
    // A request started from inside a pending one must not touch that one's state.
    if (hasSocket() && !m_kept)
        throw ENetCore(net::Error::RemoteHostBusy);

    m_tls = tls;
    m_tlsHost = fields.URLServer;
    m_proxyName = proxyName(fields);
    m_connectRequest.clear();
    if (fields.tunnelled())
        http::writeConnectHead(m_connectRequest, fields);
    const QByteArray key = fields.KeepAlive ? connectionKey(fields) : QByteArray();
    bool reused = false;
    if (m_kept) {
        m_kept = false;
        reused = fields.KeepAlive && key == m_keptFor && resume();
        if (!reused)
            closeQuietly();
    }
    // Only a request that changes nothing may go twice.
    m_mayRetry = reused && (method == "GET" || method == "HEAD");
    try {
        if (attempt(method, fields, reused)) {
            m_mayRetry = false;
            closeQuietly();
            attempt(method, fields, false);
        }
    } catch (...) {
        m_mayRetry = false;
        m_bodyFile.close();
        closeQuietly();
        *statusLine = m_parser.statusLine();
        throw;
    }
    m_mayRetry = false;
    *statusLine = m_parser.statusLine();
    if (fields.KeepAlive) {
        keepOrClose(key);
        if (m_parser.inFramedBody() && !interrupted())
            throw ENetCore(net::Error::BodyIncomplete);
    }
    if (!m_parser.hasStatusLine())
        return;
    const QByteArray statusText = HttpResponseParser::statusText(*statusLine);
    if (!statusText.startsWith('2'))
        throw ENetCore(net::Error::StatusFailed, QString::fromLatin1(statusText));
}

bool HttpEngine::attempt(const QByteArray &method, const HttpRequestFields &fields, bool reused)
{
    m_parser.reset();
    if (fields.KeepAlive)
        m_parser.setFramed(method == "HEAD");
    setSplitLines(true);
    m_bodyFile.begin(fields.LocalFile, fields.LocalFileLimit);
    m_received = false;
    m_transferEnded = false;
    try {
        if (!reused)
            connectToPeer(fields);
        exchange(method, fields);
    } catch (const ENetCore &) {
        if (silenced() && !interrupted())
            return true;
        throw;
    }
    // The end came before a byte of the answer: the server had closed the kept connection.
    return silenced() && !interrupted();
}

void HttpEngine::keepOrClose(const QByteArray &key)
{
    if (!hasSocket())
        return;
    if (m_parser.reusable() && !interrupted()) {
        park();
        m_kept = true;
        m_keptFor = key;
        return;
    }
    closeConnection();
}

void HttpEngine::interrupt()
{
    if (!m_kept) {
        ClientSocket::interrupt();
        return;
    }
    core().drainToWakeUp();
}

void HttpEngine::dropKept()
{
    if (!m_kept)
        return;
    m_kept = false;
    closeQuietly();
}

void HttpEngine::connectToPeer(const HttpRequestFields &fields)
{
    const bool viaProxy = !fields.ProxyServer.isEmpty();
    try {
        setRemoteHost(viaProxy ? fields.ProxyServer : fields.URLServer);
        setRemotePort(viaProxy ? fields.ProxyPort : fields.URLPort);
        connectAndWait();
    } catch (const ENetCore &failure) {
        // The user has to know that it is the proxy that cannot be reached, not the engine.
        if (!viaProxy || peerReached() || failure.error() < net::Error::SocketUnmapped)
            throw;
        throw ENetCore(
            net::Error::ProxyUnreachable,
            net::errorText(net::Error::ProxyUnreachable, proxyName(fields) + QStringLiteral(": ") + failure.Message()));
    }
}

std::unique_ptr<ByteStream> HttpEngine::openStream(int fd)
{
    if (!m_tls)
        return ClientSocket::openStream(fd);
    auto tls = std::make_unique<TlsStream>(fd, m_tlsHost);
    if (m_connectRequest.isEmpty())
        return tls;
    return std::make_unique<TunnelStream>(fd, m_connectRequest, std::move(tls), m_proxyName);
}

void HttpEngine::exchange(const QByteArray &method, const HttpRequestFields &fields)
{
    const bool withBody = method == "POST" || method == "PUT";
    QByteArray head;
    if (!withBody) {
        http::writeRequestHead(head, method, fields);
        writeAll(head.constData(), head.size());
    } else {
        QFile attached(fields.AttachedFile);
        const bool withFile = !fields.AttachedFile.isEmpty();
        if (withFile && !attached.open(QIODevice::ReadOnly))
            throw ENetCore(net::Error::AttachedFileUnreadable);
        const qint64 attachedLength = withFile ? attached.size() : 0;
        http::writeRequestHead(head, method, fields, fields.PostData.size() + attachedLength);
        writeAll(head.constData(), head.size());
        writeAll(fields.PostData.constData(), fields.PostData.size());
        if (withFile)
            sendAttachedFile(attached, attachedLength);
    }
    const std::optional<net::Error> failure =
        fields.KeepAlive ? waitUntil([this] { return m_parser.complete(); }) : waitForClose();
    if (failure)
        throw ENetCore(*failure, failureText().isEmpty() ? net::errorText(*failure) : failureText());
}

void HttpEngine::sendAttachedFile(QFile &attached, qint64 length)
{
    char piece[LineBuffer::m_lenBuffer];
    // Never more than the announced Content-Length, even if the file grew.
    while (length > 0) {
        const qint64 n = attached.read(piece, std::min<qint64>(length, sizeof piece));
        if (n <= 0)
            break;
        writeAll(piece, n);
        length -= n;
    }
}

void HttpEngine::deliver(const char *data, int len)
{
    m_received = true;
    m_parser.feed(data, len);
}

void HttpEngine::header(const QByteArray &field, const QByteArray &value)
{
    if (m_owner.OnHeader)
        m_owner.OnHeader(&m_owner, field, value);
}

void HttpEngine::startTransfer()
{
    // Bytes already received after the empty line are body: they go on raw.
    setSplitLines(false);
    if (m_owner.OnStartTransfer)
        m_owner.OnStartTransfer(&m_owner);
}

void HttpEngine::body(const char *data, int len, qint64 bodyCount)
{
    switch (m_bodyFile.append(data, len)) {
    case BodyFile::Outcome::OpenFailed:
        m_owner.fireError(net::Error::LocalFileNotCreated);
        return;
    case BodyFile::Outcome::WriteFailed:
        m_owner.fireError(net::Error::LocalFileWriteFailed);
        break;
    default:
        break;
    }
    if (!m_owner.OnTransfer)
        return;
    std::memcpy(m_text, data, static_cast<size_t>(len));
    m_text[len] = '\0';
    // The count is 32-bit: past 2 GiB it stays at its maximum instead of going negative.
    const auto count = static_cast<qint32>(std::min<qint64>(bodyCount, std::numeric_limits<qint32>::max()));
    m_owner.OnTransfer(&m_owner, count, m_text, static_cast<quint16>(len));
}

void HttpEngine::answerEnded()
{
    // Whatever follows belongs to no answer of ours: the connection takes no more for now.
    park();
    endTransfer();
}

void HttpEngine::framingFailed(const QString &detail)
{
    closeConnection(net::Error::ChunkMalformed, detail);
}

void HttpEngine::endTransfer()
{
    if (m_transferEnded)
        return;
    m_transferEnded = true;
    if (m_bodyFile.finish() == BodyFile::Outcome::WriteFailed)
        m_owner.fireError(net::Error::LocalFileWriteFailed);
    if (m_owner.OnEndTransfer)
        m_owner.OnEndTransfer(&m_owner);
}

void HttpEngine::connectionFinished(int code, const QString &description)
{
    if (m_owner.OnConnected)
        m_owner.OnConnected(&m_owner, code, description);
}

void HttpEngine::closing()
{
    if (!silenced())
        endTransfer();
}

void HttpEngine::disconnected(int code, const QString &description)
{
    if (!silenced() && m_owner.OnDisconnected)
        m_owner.OnDisconnected(&m_owner, code, description);
}

void HttpEngine::receiveError(net::Error code, const QString &description)
{
    if (!silenced())
        m_owner.fireError(code, description);
}
