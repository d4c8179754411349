#include "support/loopbacklisten.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qctest {

int listenOnLoopback(quint16 *port, int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

bool waitForEvents(int fd, short events, const std::atomic<bool> &stopping, int deadlineMs)
{
    constexpr int sliceMs = 50; // how soon a stop is noticed
    QElapsedTimer clock;
    clock.start();
    while (!stopping && clock.elapsed() < deadlineMs) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, sliceMs);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
    return false;
}

} // namespace qctest
