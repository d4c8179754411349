#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <mutex>
#include <thread>

namespace qctest {

// A small tunnelling HTTP proxy on 127.0.0.1 (ephemeral port) for tests,
// serving connections one after the other in its own thread. A "CONNECT
// 127.0.0.1:port" or "CONNECT localhost:port" request gets "HTTP/1.0 200
// Connection established" and a tunnel to that loopback port, relayed both
// ways until both sides are done; any other request gets 403 and nothing
// leaves the machine. Every wait is bounded, and the destructor stops the
// thread and closes every socket.
//
//   qctest::ConnectProxy proxy;
//   ASSERT_TRUE(proxy.start());
//   ... https_proxy=proxy.url() ...
//   EXPECT_TRUE(proxy.requestHead().startsWith("CONNECT 127.0.0.1:"));
class ConnectProxy
{
public:
    ConnectProxy() = default;
    ~ConnectProxy();
    ConnectProxy(const ConnectProxy &) = delete;
    ConnectProxy &operator=(const ConnectProxy &) = delete;

    bool start(int connections = 1);
    void stop();

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    QByteArray url() const;
    // The request head (up to its empty line) of the given connection.
    QByteArray requestHead(int connection = 0) const;
    int served() const { return m_served.load(); }

    // Milliseconds a connection may stay silent before the proxy gives it up.
    static constexpr int idleDeadlineMs = 10000;

private:
    void serve(int connections);
    void handle(int client, int index);
    void relay(int client, int target);
    bool waitFor(int fd, short events);

    int m_listenFd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_served{0};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_heads;
};

} // namespace qctest
