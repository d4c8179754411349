#include "support/loopbackpeer.h"

#include "support/loopbacklisten.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qctest {

namespace {
constexpr int pollSliceMs = 50;
}

LoopbackPeer::LoopbackPeer() = default;

LoopbackPeer::~LoopbackPeer()
{
    stop();
}

LoopbackPeer &LoopbackPeer::readRequest()
{
    m_script.append(Step{Step::ReadRequest, {}});
    return *this;
}

LoopbackPeer &LoopbackPeer::send(const QByteArray &bytes)
{
    m_script.append(Step{Step::Send, bytes});
    return *this;
}

LoopbackPeer &LoopbackPeer::closeConnection()
{
    m_script.append(Step{Step::Close, {}});
    return *this;
}

LoopbackPeer &LoopbackPeer::resetConnection()
{
    m_script.append(Step{Step::Reset, {}});
    return *this;
}

LoopbackPeer &LoopbackPeer::holdOpen()
{
    m_script.append(Step{Step::HoldOpen, {}});
    return *this;
}

bool LoopbackPeer::start(int connections)
{
    m_listenFd = listenOnLoopback(&m_port);
    if (m_listenFd < 0)
        return false;
    m_thread = std::thread([this, connections] { serve(connections); });
    return true;
}

void LoopbackPeer::stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
}

bool LoopbackPeer::waitForClientClose() const
{
    QElapsedTimer clock;
    clock.start();
    while (!m_sawClientClose && !m_stopping && clock.elapsed() < stepDeadlineMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return m_sawClientClose;
}

QByteArray LoopbackPeer::url(const QByteArray &path) const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port) + path;
}

QByteArray LoopbackPeer::request(int connection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return connection < m_received.size() ? m_received.at(connection) : QByteArray();
}

void LoopbackPeer::appendReceived(int index, const char *data, qsizetype len)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    while (m_received.size() <= index)
        m_received.append(QByteArray());
    m_received[index].append(data, len);
}

bool LoopbackPeer::waitFor(int fd, short events)
{
    return waitForEvents(fd, events, m_stopping, stepDeadlineMs);
}

void LoopbackPeer::serve(int connections)
{
    for (int index = 0; index < connections && !m_stopping; ++index) {
        if (!waitFor(m_listenFd, POLLIN))
            return;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        appendReceived(index, "", 0);
        runScript(fd, index);
        ++m_served;
    }
}

void LoopbackPeer::runScript(int fd, int index)
{
    for (const Step &step : m_script) {
        switch (step.kind) {
        case Step::ReadRequest:
            if (!readRequestOn(fd, index)) {
                ::close(fd);
                return;
            }
            break;
        case Step::Send:
            if (!sendOn(fd, step.bytes)) {
                ::close(fd);
                return;
            }
            break;
        case Step::Close:
            ::close(fd);
            return;
        case Step::Reset: {
            const linger abortive{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            ::close(fd);
            return;
        }
        case Step::HoldOpen: {
            char scratch[4096];
            while (waitFor(fd, POLLIN)) {
                const ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
                if (n <= 0) {
                    m_sawClientClose = true;
                    break;
                }
                appendReceived(index, scratch, n);
            }
            ::close(fd);
            return;
        }
        }
    }
    ::close(fd);
}

bool LoopbackPeer::readRequestOn(int fd, int index)
{
    QByteArray seen;
    qsizetype wanted = -1;
    char scratch[4096];
    while (wanted < 0 || seen.size() < wanted) {
        if (!waitFor(fd, POLLIN))
            return false;
        const ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
        if (n <= 0)
            return false;
        seen.append(scratch, n);
        appendReceived(index, scratch, n);
        const qsizetype headEnd = seen.indexOf("\r\n\r\n");
        if (wanted < 0 && headEnd >= 0) {
            qsizetype bodyLength = 0;
            for (const QByteArray &line : seen.left(headEnd).split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    bodyLength = line.mid(15).trimmed().toLongLong();
            }
            wanted = headEnd + 4 + bodyLength;
        }
    }
    return true;
}

bool LoopbackPeer::sendOn(int fd, const QByteArray &bytes)
{
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        if (!waitFor(fd, POLLOUT))
            return false;
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

} // namespace qctest
