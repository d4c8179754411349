#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>
#include <exception>

#include "net/linebuf.h"
#include "net/netcore.h"
#include "net/socketlayer.h"

// One TCP client connection over IPv4, driven by socket notifications on the
// UI thread, with the waits that make an exchange look synchronous to its
// caller. Failing steps throw ENetCore. Received data goes through the line
// buffer to deliver(); the derived engine sees lines while splitting is on and
// raw chunks of at most 2048 bytes once it is off.
//
// Events (the virtual hooks) fire on the UI thread from inside the waits. If a
// hook throws, the connection is closed without further events and the
// exception comes out of the wait that was running.
class ClientSocket
{
public:
    explicit ClientSocket(NetCore &core);
    virtual ~ClientSocket();
    ClientSocket(const ClientSocket &) = delete;
    ClientSocket &operator=(const ClientSocket &) = delete;

    // A dotted IPv4 address is used directly, another name is looked up
    // (synchronously) and its first IPv4 address taken, "" gives 0.0.0.0.
    // Throws 101 while a socket exists and the lookup's code (11001-11004) when
    // the name cannot be resolved. While the socket layer is not loaded the
    // address becomes 0.0.0.0 and nothing is thrown.
    void setRemoteHost(const QByteArray &host);
    void setRemotePort(quint16 port) { m_remotePort = port; }

    // Connects and waits for the outcome. Throws 102 (address 0.0.0.0), 116
    // (port 0), the socket code of a failed attempt (after OnConnected for an
    // attempt the network answered), or 301 when the wait was ended or the
    // attempt interrupted. Does nothing while connected.
    void connectAndWait();
    // Returns once the socket has taken every byte; throws the socket code, or
    // 301 when the wait was ended or the connection closed meanwhile.
    void writeAll(const char *data, qsizetype len);
    // The line buffer's mode; the engine switches it off at the end of the headers.
    void setSplitLines(bool on) { m_buffer.setSplitLines(on); }
    // Waits until the connection is gone; returns the close code (0 for a
    // clean close) or 301 when the wait was ended.
    int waitForClose();
    // The interrupt: dispatches what is queued up to a fresh wake-up event,
    // then closes the connection with code 0. Never throws.
    void interrupt();
    // Closes without any event; what is buffered is dropped.
    void closeQuietly();

    bool hasSocket() const { return m_fd >= 0; }
    bool isConnected() const { return m_connected; }
    int socketHandle() const { return m_fd; }
    // While connected the socket's local address, otherwise the host name (or
    // the socket error text when that cannot be had).
    QByteArray localHost() const;
    SocketLayerUse &socketLayer() { return m_layer; }
    const SocketLayerUse &socketLayer() const { return m_layer; }
    quint32 remoteAddress() const { return m_remoteAddress; }

protected:
    // A received line (splitting on) or chunk (splitting off).
    virtual void deliver(const char *data, int len) = 0;
    virtual void connectionFinished(int code, const QString &description) = 0;
    // The close hook: runs before disconnected().
    virtual void closing() = 0;
    virtual void disconnected(int code, const QString &description) = 0;
    virtual void receiveError(int code, const QString &description) = 0;

    NetCore &core() { return m_core; }

private:
    void onWritable();
    void onReadable();
    void connectionNotification(int code);
    void receive();
    void handOnPieces(bool atEnd);
    bool drainReadable();
    void close(int code);
    void rethrowDeferred();
    void guarded(void (ClientSocket::*step)());

    NetCore &m_core;
    SocketLayerUse m_layer;
    LineBuffer m_buffer;
    QSocketNotifier m_readNotifier;
    QSocketNotifier m_writeNotifier;
    int m_fd = -1;
    quint32 m_remoteAddress = 0; // host byte order
    quint16 m_remotePort = 0;
    bool m_connected = false;
    bool m_acceptData = false;
    bool m_reading = false;
    bool m_readSuppressed = false;
    bool m_closePending = false;
    // The peer's end of the stream has been read: nothing more can arrive.
    bool m_peerClosed = false;
    bool m_interrupted = false;
    int m_closePendingCode = 0;
    int m_pending = 0;
    std::exception_ptr m_deferred;
};
