#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <mutex>
#include <thread>

namespace qctest {

// A scripted raw TCP server on 127.0.0.1 (ephemeral port) for wire tests. It
// serves hand-written answers in its own thread and records the exact bytes
// each client sent. Every wait in it is bounded (a connection is given up
// after the step deadline), and the destructor stops the thread and closes
// every socket, also when the test failed.
//
//   qctest::LoopbackPeer peer;
//   peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\nhi").closeConnection();
//   peer.start();
//   ... client.setURL(peer.url("/path")) ...
//   EXPECT_EQ(peer.request(), "GET /path HTTP/1.0\r\n\r\n");
class LoopbackPeer
{
public:
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    // Script steps, run in order on each connection.
    // Reads one request: up to the empty line, then Content-Length body bytes.
    LoopbackPeer &readRequest();
    LoopbackPeer &send(const QByteArray &bytes);
    // Orderly close (FIN).
    LoopbackPeer &closeConnection();
    // Abortive close: the client sees a reset.
    LoopbackPeer &resetConnection();
    // Keeps the connection until the client closes it or the peer stops.
    LoopbackPeer &holdOpen();

    // Starts listening and serves `connections` connections one after the
    // other. Returns false when no socket could be set up.
    bool start(int connections = 1);
    void stop();

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path.
    QByteArray url(const QByteArray &path = "/") const;
    // The bytes received on the given connection so far.
    QByteArray request(int connection = 0) const;
    int served() const { return m_served.load(); }
    // True once the client closed a held connection (holdOpen saw its FIN).
    bool sawClientClose() const { return m_sawClientClose.load(); }
    // Waits (at most the step deadline) until the client closed a held connection.
    bool waitForClientClose() const;

    // Milliseconds any single step may take before the peer gives up.
    static constexpr int stepDeadlineMs = 10000;

private:
    struct Step
    {
        enum Kind { ReadRequest, Send, Close, Reset, HoldOpen } kind;
        QByteArray bytes;
    };

    void serve(int connections);
    void runScript(int fd, int index);
    bool readRequestOn(int fd, int index);
    bool sendOn(int fd, const QByteArray &bytes);
    bool waitFor(int fd, short events);
    void appendReceived(int index, const char *data, qsizetype len);

    QList<Step> m_script;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_served{0};
    std::atomic<bool> m_sawClientClose{false};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_received;
};

} // namespace qctest
