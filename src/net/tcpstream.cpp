#include "net/tcpstream.h"

#include <cerrno>
#include <sys/socket.h>

#include "net/socketerrors.h"

ByteStream::Result TcpStream::read(char *buffer, int size)
{
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(size), 0);
        if (n > 0)
            return Result::done(static_cast<int>(n));
        if (n == 0)
            return Result::end();
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Result::wouldBlock(Ready::Read);
        return Result::failed(net::socketErrorFromErrno(errno));
    }
}

ByteStream::Result TcpStream::write(const char *data, int size)
{
    for (;;) {
        const ssize_t n = ::send(m_fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n >= 0)
            return Result::done(static_cast<int>(n));
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Result::wouldBlock(Ready::Write);
        return Result::failed(net::socketErrorFromErrno(errno));
    }
}
