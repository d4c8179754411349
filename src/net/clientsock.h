#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "net/bytestream.h"
#include "net/linebuf.h"
#include "net/netcore.h"
#include "net/socketlayer.h"

// One TCP client connection over IPv4, driven by socket notifications on the
// UI thread, with the waits that make an exchange look synchronous to its
// caller. The bytes go through a ByteStream over the socket; failing steps
// throw ENetCore. Received data goes through the line buffer to deliver(); the
// derived engine sees lines while splitting is on and raw chunks of at most
// 2048 bytes once it is off.
//
// Events (the virtual hooks) fire on the UI thread from inside the waits. If a
// hook throws, the connection is closed without further events and the
// exception comes out of the wait that was running.
class ClientSocket
{
public:
    // Reads taken in one go before the event loop gets its turn again, so a
    // server that sends without pause never starves timers and input.
    static constexpr int readsPerPass = 64;

    explicit ClientSocket(NetCore &core);
    virtual ~ClientSocket();
    ClientSocket(const ClientSocket &) = delete;
    ClientSocket &operator=(const ClientSocket &) = delete;

    // A dotted IPv4 address is used directly, another name is looked up
    // (synchronously) and its first IPv4 address taken, "" gives 0.0.0.0.
    // Throws Error::RemoteHostBusy while a socket exists and the lookup's error
    // (Error::HostNotFound ... Error::HostWithoutAddress) when
    // the name cannot be resolved. While the socket layer is not loaded the
    // address becomes 0.0.0.0 and nothing is thrown.
    void setRemoteHost(const QByteArray &host);
    void setRemotePort(quint16 port) { m_remotePort = port; }

    // Connects, lets the stream finish its handshake, and waits for the
    // outcome. Throws 102 (address 0.0.0.0), 116 (port 0), the code of a failed
    // attempt (after OnConnected for an attempt the network answered), or 301
    // when the wait was ended or the attempt interrupted. Does nothing while
    // connected.
    void connectAndWait();
    // Returns once the stream has taken every byte; throws the socket code, or
    // 301 when the wait was ended or the connection closed meanwhile.
    void writeAll(const char *data, qsizetype len);
    // The line buffer's mode; the engine switches it off at the end of the headers.
    void setSplitLines(bool on) { m_buffer.setSplitLines(on); }
    // Waits until the connection is gone; nothing for a clean close, otherwise
    // the close code, or 301 when the wait was ended.
    std::optional<net::Error> waitForClose();
    // The same, but also returns (with nothing) as soon as done() holds while
    // the connection is still open. done() is checked before each pass.
    std::optional<net::Error> waitUntil(const std::function<bool()> &done);
    // Keeps the open connection for a later exchange: nothing more is read
    // until resume(), and should the socket turn readable meanwhile (the
    // peer closed it) the connection is closed quietly.
    void park();
    // Takes a parked connection up for the next exchange, with an empty line
    // buffer (splitting on). False, with the connection closed quietly, when
    // there is none or the peer closed it or sent anything while it rested.
    bool resume();
    // The text of the failure that ended the last attempt or connection: the
    // code's text with the stream's detail; "" when none did.
    QString failureText() const;
    // The interrupt: dispatches what is queued up to a fresh wake-up event,
    // then closes the connection cleanly. Never throws.
    void interrupt();
    // Closes without any event; what is buffered is dropped.
    void closeQuietly();

    bool hasSocket() const { return m_fd >= 0; }
    // The last connection, or its attempt, was ended by interrupt().
    bool interrupted() const { return m_interrupted; }
    // The last attempt's TCP connection was made: a failure came after it
    // (in the stream's handshake or the exchange), not from the address.
    bool peerReached() const { return m_peerReached; }
    bool isConnected() const { return m_phase == Phase::Open; }
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
    // code 0 with "OK" for success.
    virtual void connectionFinished(int code, const QString &description) = 0;
    // The close hook: runs before disconnected().
    virtual void closing() = 0;
    virtual void disconnected(int code, const QString &description) = 0;
    virtual void receiveError(net::Error code, const QString &description) = 0;
    // The stream over a socket whose TCP connection was just made: plain TCP
    // unless a derived engine wants another.
    virtual std::unique_ptr<ByteStream> openStream(int fd);

    NetCore &core() { return m_core; }
    // Closes the connection now, with the close hooks; failure as the reason,
    // nothing for an orderly end. From a hook the close follows the delivery loop.
    void closeConnection(std::optional<net::Error> failure = std::nullopt, const QString &detail = {})
    {
        close(failure, detail);
    }

private:
    enum class Phase {
        Closed,     // no socket, or the attempt failed
        Connecting, // TCP connect under way; the write notifier tells its end
        Handshake,  // connected; the stream's handshake waits for readiness
        Open,       // data flows
    };

    void startConnect();
    void onWritable();
    void onReadable();
    void continueHandshake();
    void connectionOutcome(std::optional<net::Error> failure, const QString &detail = {});
    void receive();
    void handOnPieces(bool atEnd);
    // One read of the stream into the line buffer's free space (never empty
    // once the pieces are handed on).
    ByteStream::Result readIntoBuffer();
    void drainQueued();
    void close(std::optional<net::Error> failure, const QString &detail = {});
    void rethrowDeferred();
    void guarded(void (ClientSocket::*step)());

    NetCore &m_core;
    SocketLayerUse m_layer;
    LineBuffer m_buffer;
    QSocketNotifier m_readNotifier;
    QSocketNotifier m_writeNotifier;
    std::unique_ptr<ByteStream> m_stream;
    int m_fd = -1;
    Phase m_phase = Phase::Closed;
    quint32 m_remoteAddress = 0; // host byte order
    quint16 m_remotePort = 0;
    bool m_acceptData = false;
    bool m_reading = false;
    bool m_readSuppressed = false;
    // The stream's last read waits for the socket to become writable.
    bool m_readWaitsForWrite = false;
    bool m_closePending = false;
    // The peer's end of the stream has been read: nothing more can arrive.
    bool m_peerClosed = false;
    bool m_interrupted = false;
    bool m_peerReached = false;
    // Kept for a later exchange (park): any readiness now closes it.
    bool m_parked = false;
    std::optional<net::Error> m_closePendingFailure;
    QString m_closePendingDetail;
    // Why the attempt or the connection ended; nothing for success or a clean close.
    std::optional<net::Error> m_failure;
    QString m_failureDetail;
    std::exception_ptr m_deferred;
};
