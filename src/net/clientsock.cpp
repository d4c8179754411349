#include "net/clientsock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString okText = QStringLiteral("OK");

QString describe(int code)
{
    return code == 0 ? okText : SocketErrorText(code);
}

// Errors with which a non-blocking connect may report, at once, an attempt the
// network has already answered; they go the way of a late connection outcome.
bool attemptFinished(int err)
{
    switch (err) {
    case ECONNREFUSED:
    case ETIMEDOUT:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETDOWN:
    case ECONNRESET:
    case ECONNABORTED:
        return true;
    default:
        return false;
    }
}

void setOption(int fd, int level, int name, const void *value, socklen_t size)
{
    if (::setsockopt(fd, level, name, value, size) != 0)
        throw ENetCore(static_cast<quint16>(net::socketErrorFromErrno(errno)));
}

} // namespace

ClientSocket::ClientSocket(NetCore &core)
    : m_core(core), m_readNotifier(QSocketNotifier::Read), m_writeNotifier(QSocketNotifier::Write)
{
    m_layer.setLoaded(true);
    QObject::connect(&m_readNotifier, &QSocketNotifier::activated, &m_readNotifier,
                     [this] { guarded(&ClientSocket::onReadable); });
    QObject::connect(&m_writeNotifier, &QSocketNotifier::activated, &m_writeNotifier,
                     [this] { guarded(&ClientSocket::onWritable); });
}

ClientSocket::~ClientSocket()
{
    closeQuietly();
}

void ClientSocket::setRemoteHost(const QByteArray &host)
{
    if (m_fd >= 0)
        throw ENetCore(net::RemoteHostBusyCode,
                       QStringLiteral("You cannot change the RemoteHost at this time. A connection is in progress."));
    m_remoteAddress = 0;
    if (host.isEmpty() || !SocketLayerUse::running())
        return;
    // A name with a zero byte in it would be looked up as its first part.
    if (host.contains('\0'))
        throw ENetCore(net::HostNotFoundCode);
    in_addr direct{};
    if (::inet_pton(AF_INET, host.constData(), &direct) == 1) {
        m_remoteAddress = ntohl(direct.s_addr);
        return;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    errno = 0;
    const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (rc != 0)
        throw ENetCore(static_cast<quint16>(net::lookupErrorFromGai(rc, errno)));
    m_remoteAddress = ntohl(reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
}

void ClientSocket::connectAndWait()
{
    if (m_connected)
        return;
    if (m_fd >= 0)
        throw ENetCore(net::RemoteHostBusyCode,
                       QStringLiteral("You cannot change the RemoteHost at this time. A connection is in progress."));
    m_pending = 0;
    m_acceptData = false;
    m_interrupted = false;
    m_deferred = nullptr;
    if (m_remoteAddress == 0)
        throw ENetCore(net::AddressInvalidCode, QStringLiteral("The RemoteHost address is invalid (0.0.0.0)."));
    if (m_remotePort == 0)
        throw ENetCore(net::PortZeroCode,
                       QStringLiteral("RemotePort can't be zero. Please specify a valid service port number."));
    if (!SocketLayerUse::running())
        throw ENetCore(net::LayerNotLoadedCode);

    m_buffer.reset();
    m_peerClosed = false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ENetCore(static_cast<quint16>(net::socketErrorFromErrno(errno)));
    try {
        const int on = 1;
        // The kernel's own socket buffers are left alone: fixing them at the line
        // buffer's 2048 bytes turns off window scaling and makes a large download
        // about ten times slower. Received data still goes on in pieces of at most
        // 2048 bytes. Keep-alive and lingering are off on every new socket, so
        // only out-of-band data inline needs a call.
        setOption(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
    } catch (...) {
        ::close(fd);
        throw;
    }
    m_fd = fd;
    m_readNotifier.setSocket(fd);
    m_writeNotifier.setSocket(fd);

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(m_remotePort);
    remote.sin_addr.s_addr = htonl(m_remoteAddress);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) != 0 && errno != EINPROGRESS) {
        const int err = errno;
        if (!attemptFinished(err)) {
            closeQuietly();
            throw ENetCore(static_cast<quint16>(net::socketErrorFromErrno(err)));
        }
        connectionNotification(net::socketErrorFromErrno(err));
    } else {
        // On loopback the connection is made within connect() itself: taking
        // its outcome now saves a pass over the event queue for every request,
        // and the notifier is only asked for when there is something to wait for.
        pollfd outcome{fd, POLLOUT, 0};
        if (::poll(&outcome, 1, 0) == 1)
            guarded(&ClientSocket::onWritable);
        else
            m_writeNotifier.setEnabled(true);
    }

    for (;;) {
        rethrowDeferred();
        if (m_connected || m_pending != 0)
            break;
        // Interrupted while connecting: the outcome would never come now.
        if (m_fd < 0 || !m_core.pumpOnce()) {
            rethrowDeferred();
            throw ENetCore(net::InterruptedCode);
        }
    }
    m_acceptData = true;
    if (m_pending != 0)
        throw ENetCore(static_cast<quint16>(m_pending));
    m_readNotifier.setEnabled(true);
    receive();
}

void ClientSocket::connectionNotification(int code)
{
    m_writeNotifier.setEnabled(false);
    m_connected = true;
    m_pending = code;
    if (code != 0)
        m_core.drainToWakeUp();
    connectionFinished(code, describe(code));
    if (code != 0)
        closeQuietly();
}

void ClientSocket::onWritable()
{
    if (m_fd < 0)
        return;
    m_writeNotifier.setEnabled(false);
    if (m_connected)
        return; // a waiting write offers its bytes again after the pass
    int err = 0;
    socklen_t size = sizeof err;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0)
        err = errno;
    connectionNotification(net::socketErrorFromErrno(err));
}

void ClientSocket::writeAll(const char *data, qsizetype len)
{
    while (len > 0) {
        if (m_fd < 0) {
            if (m_interrupted)
                throw ENetCore(net::InterruptedCode);
            // The peer closed while the request was still going out.
            throw ENetCore(static_cast<quint16>(m_pending != 0 ? m_pending : 10058));
        }
        const ssize_t n = ::send(m_fd, data, static_cast<size_t>(len), MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            len -= n;
            if (len == 0)
                return;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            throw ENetCore(static_cast<quint16>(net::socketErrorFromErrno(errno)));
        }
        m_writeNotifier.setEnabled(true);
        const bool more = m_core.pumpOnce();
        if (m_fd >= 0)
            m_writeNotifier.setEnabled(false);
        rethrowDeferred();
        if (!more)
            throw ENetCore(net::InterruptedCode);
    }
}

int ClientSocket::waitForClose()
{
    while (m_fd >= 0 && m_pending == 0) {
        const bool more = m_core.pumpOnce();
        rethrowDeferred();
        if (!more)
            return net::InterruptedCode;
    }
    return m_pending;
}

void ClientSocket::onReadable()
{
    if (m_reading) {
        // A handler is pumping events inside the delivery loop; that loop reads
        // on once it unwinds. Until then the level-triggered notifier would spin.
        m_readNotifier.setEnabled(false);
        m_readSuppressed = true;
        return;
    }
    receive();
}

void ClientSocket::receive()
{
    if (m_fd < 0 || !m_acceptData || m_reading)
        return;
    m_reading = true;
    int closeCode = -1;
    try {
        for (;;) {
            handOnPieces(false);
            if (!m_acceptData || m_closePending || m_fd < 0)
                break;
            char *space = m_buffer.freeSpace();
            const ssize_t n = ::recv(m_fd, space, static_cast<size_t>(m_buffer.freeSize()), 0);
            if (n > 0) {
                m_buffer.commit(static_cast<int>(n));
                continue;
            }
            if (n == 0) {
                m_peerClosed = true;
                handOnPieces(true);
                closeCode = 0;
                break;
            }
            if (errno == EINTR)
                continue;
            const int code = net::socketErrorFromErrno(errno);
            if (code == net::WouldBlockCode)
                break;
            if (code != net::NotSocketCode)
                receiveError(code, QStringLiteral("Winsock error in recv()"));
            // POSIX reports a reset only here: it stands for the closed
            // notification carrying that code.
            closeCode = code;
            break;
        }
    } catch (...) {
        m_reading = false;
        throw;
    }
    m_reading = false;
    if (m_closePending) {
        m_closePending = false;
        close(m_closePendingCode);
    } else if (closeCode >= 0) {
        close(closeCode);
    } else if (m_readSuppressed && m_fd >= 0) {
        m_readNotifier.setEnabled(true);
    }
    m_readSuppressed = false;
}

void ClientSocket::handOnPieces(bool atEnd)
{
    const char *data = nullptr;
    int len = 0;
    while (m_acceptData && (atEnd ? m_buffer.nextPieceAtEnd(&data, &len) : m_buffer.nextPiece(&data, &len)))
        deliver(data, len);
}

bool ClientSocket::drainReadable()
{
    for (;;) {
        handOnPieces(false);
        if (!m_acceptData)
            return false;
        const ssize_t n = ::recv(m_fd, m_buffer.freeSpace(), static_cast<size_t>(m_buffer.freeSize()), 0);
        if (n > 0) {
            m_buffer.commit(static_cast<int>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        handOnPieces(true);
        return n == 0;
    }
}

void ClientSocket::close(int code)
{
    if (m_fd < 0) {
        m_connected = false;
        m_closePending = false;
        return;
    }
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    if (m_reading) {
        m_closePending = true;
        m_closePendingCode = code;
        return;
    }
    if (m_acceptData && !m_peerClosed) {
        m_reading = true;
        try {
            drainReadable();
        } catch (...) {
            m_reading = false;
            throw;
        }
        m_reading = false;
    }
    ::close(m_fd);
    m_fd = -1;
    const bool wasConnected = m_connected;
    m_connected = false;
    m_closePending = false;
    m_pending = code;
    if (wasConnected) {
        closing();
        disconnected(code, describe(code));
    }
}

void ClientSocket::interrupt()
{
    m_core.drainToWakeUp();
    if (m_fd < 0)
        return;
    m_interrupted = true;
    if (m_connected)
        close(0);
    else
        closeQuietly(); // nothing was established, so nothing is reported closed
}

void ClientSocket::closeQuietly()
{
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connected = false;
    m_closePending = false;
    m_acceptData = false;
    m_readSuppressed = false;
}

void ClientSocket::rethrowDeferred()
{
    if (m_deferred) {
        std::exception_ptr deferred = m_deferred;
        m_deferred = nullptr;
        std::rethrow_exception(deferred);
    }
}

void ClientSocket::guarded(void (ClientSocket::*step)())
{
    try {
        (this->*step)();
    } catch (...) {
        // Nothing may unwind through the event dispatcher: the wait that is
        // running passes the exception on.
        m_deferred = std::current_exception();
        m_reading = false;
        closeQuietly();
    }
}

QByteArray ClientSocket::localHost() const
{
    if (m_connected && m_fd >= 0) {
        sockaddr_in local{};
        socklen_t size = sizeof local;
        char text[INET_ADDRSTRLEN] = {};
        if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &size) == 0 &&
            ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr)
            return QByteArray(text);
        return SocketErrorText(net::socketErrorFromErrno(errno)).toLatin1();
    }
    if (!SocketLayerUse::running())
        return SocketErrorText(net::LayerNotLoadedCode).toLatin1();
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return SocketErrorText(net::socketErrorFromErrno(errno)).toLatin1();
    return QByteArray(name, static_cast<qsizetype>(::strnlen(name, 100)));
}
