#include "net/tcpsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/socketerrors.h"

namespace net {

namespace {

// Errors with which a non-blocking connect may report, at once, an attempt the
// network has already answered; they go the way of a late connection outcome.
bool attemptAnswered(int err)
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

} // namespace

std::optional<Error> resolveIPv4(const QByteArray &host, quint32 *address)
{
    // A name with a zero byte in it would be looked up as its first part.
    if (host.contains('\0'))
        return Error::HostNotFound;
    in_addr direct{};
    if (::inet_pton(AF_INET, host.constData(), &direct) == 1) {
        *address = ntohl(direct.s_addr);
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    errno = 0;
    const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (rc != 0)
        return lookupErrorFromGai(rc, errno);
    *address = ntohl(reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return std::nullopt;
}

int openTcpSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ENetCore(socketErrorFromErrno(errno));
    // The kernel's own socket buffers are left alone: fixing them at the line
    // buffer's 2048 bytes turns off window scaling and makes a large download
    // about ten times slower. Keep-alive and lingering are off on every new
    // socket, so only out-of-band data inline needs a call.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on) != 0) {
        const int err = errno;
        ::close(fd);
        throw ENetCore(socketErrorFromErrno(err));
    }
    return fd;
}

ConnectStart startConnect(int fd, quint32 address, quint16 port)
{
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = htonl(address);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) != 0 && errno != EINPROGRESS) {
        const int err = errno;
        return {attemptAnswered(err) ? ConnectStart::Answered : ConnectStart::Failed, socketErrorFromErrno(err)};
    }
    // Taking a loopback connection's outcome now saves a pass over the event
    // queue for every request.
    pollfd outcome{fd, POLLOUT, 0};
    return {::poll(&outcome, 1, 0) == 1 ? ConnectStart::Decided : ConnectStart::Pending};
}

std::optional<Error> connectOutcome(int fd)
{
    int err = 0;
    socklen_t size = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0)
        err = errno;
    if (err == 0)
        return std::nullopt;
    return socketErrorFromErrno(err);
}

qint64 queuedBytes(int fd)
{
    int queued = 0;
    return ::ioctl(fd, FIONREAD, &queued) == 0 ? queued : 0;
}

QByteArray localHostText(int fd)
{
    if (fd >= 0) {
        sockaddr_in local{};
        socklen_t size = sizeof local;
        char text[INET_ADDRSTRLEN] = {};
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &size) == 0 &&
            ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr)
            return QByteArray(text);
        return errorText(socketErrorFromErrno(errno)).toLatin1();
    }
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return errorText(socketErrorFromErrno(errno)).toLatin1();
    return QByteArray(name, static_cast<qsizetype>(::strnlen(name, 100)));
}

} // namespace net
