#include "support/connectproxy.h"

#include "support/loopbacklisten.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qctest {

namespace {

constexpr int pollSliceMs = 50;

bool sendAll(int fd, const QByteArray &bytes)
{
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        offset += n;
    }
    return true;
}

// The loopback port a CONNECT request names, 0 for any other request.
quint16 loopbackTarget(const QByteArray &head)
{
    const QList<QByteArray> words = head.left(head.indexOf('\r')).split(' ');
    if (words.size() != 3 || words.at(0) != "CONNECT")
        return 0;
    const qsizetype colon = words.at(1).lastIndexOf(':');
    const QByteArray host = words.at(1).left(colon);
    if (colon < 0 || (host != "127.0.0.1" && host != "localhost"))
        return 0;
    bool ok = false;
    const quint16 port = words.at(1).mid(colon + 1).toUShort(&ok);
    return ok ? port : 0;
}

int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

ConnectProxy::~ConnectProxy()
{
    stop();
}

bool ConnectProxy::start(int connections)
{
    m_listenFd = listenOnLoopback(&m_port);
    if (m_listenFd < 0)
        return false;
    m_thread = std::thread([this, connections] { serve(connections); });
    return true;
}

void ConnectProxy::stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
}

QByteArray ConnectProxy::url() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port);
}

QByteArray ConnectProxy::requestHead(int connection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return connection < m_heads.size() ? m_heads.at(connection) : QByteArray();
}

bool ConnectProxy::waitFor(int fd, short events)
{
    return waitForEvents(fd, events, m_stopping, idleDeadlineMs);
}

void ConnectProxy::serve(int connections)
{
    for (int index = 0; index < connections && !m_stopping; ++index) {
        if (!waitFor(m_listenFd, POLLIN))
            return;
        const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        handle(client, index);
        ::close(client);
        ++m_served;
    }
}

void ConnectProxy::handle(int client, int index)
{
    // Byte by byte, so nothing after the empty line is taken from the tunnel.
    QByteArray head;
    while (!head.endsWith("\r\n\r\n")) {
        char c = 0;
        if (!waitFor(client, POLLIN) || ::recv(client, &c, 1, 0) != 1)
            return;
        head += c;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        while (m_heads.size() <= index)
            m_heads.append(QByteArray());
        m_heads[index] = head;
    }
    const quint16 port = loopbackTarget(head);
    const int target = port != 0 ? connectLoopback(port) : -1;
    if (target < 0) {
        sendAll(client, "HTTP/1.0 403 Forbidden\r\n\r\n");
        return;
    }
    if (sendAll(client, "HTTP/1.0 200 Connection established\r\n\r\n"))
        relay(client, target);
    ::close(target);
}

void ConnectProxy::relay(int client, int target)
{
    // Each direction ends at its reader's end of stream, passed on as a half close.
    bool open[2] = {true, true};
    const int from[2] = {client, target};
    const int to[2] = {target, client};
    char buffer[16384];
    while (open[0] || open[1]) {
        pollfd entries[2];
        int count = 0;
        int which[2];
        for (int i = 0; i < 2; ++i) {
            if (open[i]) {
                entries[count] = {from[i], POLLIN, 0};
                which[count++] = i;
            }
        }
        QElapsedTimer idle;
        idle.start();
        int ready = 0;
        while (!m_stopping && idle.elapsed() < idleDeadlineMs && (ready = ::poll(entries, count, pollSliceMs)) == 0) {
        }
        if (ready <= 0)
            return;
        for (int k = 0; k < count; ++k) {
            if (entries[k].revents == 0)
                continue;
            const int i = which[k];
            const ssize_t n = ::recv(from[i], buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                open[i] = false;
                ::shutdown(to[i], SHUT_WR);
                continue;
            }
            if (!sendAll(to[i], QByteArray::fromRawData(buffer, n)))
                return;
        }
    }
}

} // namespace qctest
