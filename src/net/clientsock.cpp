#include "net/clientsock.h"

#include <algorithm>
#include <poll.h>
#include <unistd.h>

#include "net/tcpsocket.h"
#include "net/tcpstream.h"

namespace {

int eventCode(std::optional<net::Error> failure)
{
    return failure ? static_cast<int>(*failure) : 0;
}

QString describe(std::optional<net::Error> failure, const QString &detail)
{
    return failure ? net::errorText(*failure, detail) : QStringLiteral("OK");
}

// Marks the delivery loop as running, also while a handler's exception leaves it.
class ReadingScope
{
public:
    explicit ReadingScope(bool &reading) : m_reading(reading) { m_reading = true; }
    ~ReadingScope() { m_reading = false; }

private:
    bool &m_reading;
};

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

std::unique_ptr<ByteStream> ClientSocket::openStream(int fd)
{
    return std::make_unique<TcpStream>(fd);
}

void ClientSocket::setRemoteHost(const QByteArray &host)
{
    if (m_fd >= 0)
        throw ENetCore(net::Error::RemoteHostBusy);
    m_peerReached = false;
    m_remoteAddress = 0;
    if (host.isEmpty() || !SocketLayerUse::running())
        return;
    if (const std::optional<net::Error> failure = net::resolveIPv4(host, &m_remoteAddress))
        throw ENetCore(*failure);
}

void ClientSocket::connectAndWait()
{
    if (m_phase == Phase::Open)
        return;
    if (m_fd >= 0)
        throw ENetCore(net::Error::RemoteHostBusy);
    m_failure.reset();
    m_failureDetail.clear();
    m_peerReached = false;
    m_acceptData = false;
    m_interrupted = false;
    m_deferred = nullptr;
    if (m_remoteAddress == 0)
        throw ENetCore(net::Error::AddressInvalid);
    if (m_remotePort == 0)
        throw ENetCore(net::Error::PortZero);
    if (!SocketLayerUse::running())
        throw ENetCore(net::Error::SocketLayerNotLoaded);

    startConnect();
    for (;;) {
        rethrowDeferred();
        if (m_phase == Phase::Open || m_failure)
            break;
        // Interrupted while connecting: the outcome would never come now.
        if (m_fd < 0 || !m_core.pumpOnce()) {
            rethrowDeferred();
            throw ENetCore(net::Error::Interrupted);
        }
    }
    if (m_failure)
        throw ENetCore(*m_failure, failureText());
    m_acceptData = true;
    m_readNotifier.setEnabled(true);
    receive();
}

void ClientSocket::startConnect()
{
    m_parked = false;
    m_buffer.reset();
    m_peerClosed = false;
    m_readWaitsForWrite = false;
    m_fd = net::openTcpSocket();
    m_phase = Phase::Connecting;
    m_readNotifier.setSocket(m_fd);
    m_writeNotifier.setSocket(m_fd);
    const net::ConnectStart start = net::startConnect(m_fd, m_remoteAddress, m_remotePort);
    switch (start.state) {
    case net::ConnectStart::Pending:
        m_writeNotifier.setEnabled(true);
        return;
    case net::ConnectStart::Decided:
        guarded(&ClientSocket::onWritable);
        return;
    case net::ConnectStart::Answered:
        connectionOutcome(start.error);
        return;
    case net::ConnectStart::Failed:
        closeQuietly();
        throw ENetCore(start.error);
    }
}

void ClientSocket::onWritable()
{
    if (m_fd < 0)
        return;
    m_writeNotifier.setEnabled(false);
    switch (m_phase) {
    case Phase::Connecting:
        if (const std::optional<net::Error> failure = net::connectOutcome(m_fd)) {
            connectionOutcome(failure);
            return;
        }
        m_peerReached = true;
        m_stream = openStream(m_fd);
        m_phase = Phase::Handshake;
        continueHandshake();
        return;
    case Phase::Handshake:
        continueHandshake();
        return;
    case Phase::Open:
        // A waiting write offers its bytes again after the pass.
        if (m_readWaitsForWrite)
            receive();
        return;
    case Phase::Closed:
        return;
    }
}

void ClientSocket::continueHandshake()
{
    const ByteStream::Result step = m_stream->handshake();
    switch (step.status) {
    case ByteStream::Status::Done:
        m_readNotifier.setEnabled(false);
        m_phase = Phase::Open;
        connectionOutcome(std::nullopt);
        return;
    case ByteStream::Status::WouldBlock:
        m_readNotifier.setEnabled(step.ready == ByteStream::Ready::Read);
        m_writeNotifier.setEnabled(step.ready == ByteStream::Ready::Write);
        return;
    case ByteStream::Status::End:
        connectionOutcome(net::Error::SocketConnectionReset);
        return;
    case ByteStream::Status::Failed:
        connectionOutcome(step.error, step.detail);
        return;
    }
}

void ClientSocket::connectionOutcome(std::optional<net::Error> failure, const QString &detail)
{
    m_failure = failure;
    m_failureDetail = detail;
    if (failure) {
        // A failed handshake leaves a notifier on: the drain must not step it again.
        m_readNotifier.setEnabled(false);
        m_writeNotifier.setEnabled(false);
        m_core.drainToWakeUp();
    }
    connectionFinished(eventCode(failure), describe(failure, detail));
    if (failure)
        closeQuietly();
}

void ClientSocket::writeAll(const char *data, qsizetype len)
{
    while (len > 0) {
        if (m_fd < 0) {
            if (m_interrupted)
                throw ENetCore(net::Error::Interrupted);
            // The peer closed while the request was still going out.
            throw m_failure ? ENetCore(*m_failure, failureText()) : ENetCore(net::Error::SocketShutDown);
        }
        const ByteStream::Result sent = m_stream->write(data, static_cast<int>(std::min<qsizetype>(len, 1 << 30)));
        if (sent.status == ByteStream::Status::Done) {
            data += sent.bytes;
            len -= sent.bytes;
            continue;
        }
        if (sent.status == ByteStream::Status::Failed)
            throw ENetCore(sent.error, net::errorText(sent.error, sent.detail));
        if (sent.status == ByteStream::Status::End)
            throw ENetCore(net::Error::SocketShutDown);
        // Waiting for readability needs nothing more: the read notifier is on while open.
        if (sent.ready == ByteStream::Ready::Write)
            m_writeNotifier.setEnabled(true);
        const bool more = m_core.pumpOnce();
        if (m_fd >= 0)
            m_writeNotifier.setEnabled(m_readWaitsForWrite);
        rethrowDeferred();
        if (!more)
            throw ENetCore(net::Error::Interrupted);
    }
}

std::optional<net::Error> ClientSocket::waitForClose()
{
    return waitUntil([] { return false; });
}

std::optional<net::Error> ClientSocket::waitUntil(const std::function<bool()> &done)
{
    while (m_fd >= 0 && !done()) {
        const bool more = m_core.pumpOnce();
        rethrowDeferred();
        if (!more)
            return net::Error::Interrupted;
    }
    return m_failure;
}

void ClientSocket::park()
{
    m_acceptData = false;
    m_parked = true;
    // The read notifier stays on: switching it costs the event dispatcher a
    // wake-up each time, and whatever it reports now ends the rest anyway.
    m_writeNotifier.setEnabled(false);
    m_readWaitsForWrite = false;
}

bool ClientSocket::resume()
{
    if (m_fd < 0 || m_phase != Phase::Open) {
        closeQuietly();
        return false;
    }
    // While it rested nothing may have come: a byte, or the end, means the
    // server is done with it (or out of step with us).
    pollfd ready{m_fd, POLLIN, 0};
    if (m_buffer.held() > 0 || m_stream->pendingInput() > 0 || ::poll(&ready, 1, 0) != 0) {
        closeQuietly();
        return false;
    }
    m_buffer.reset();
    m_failure.reset();
    m_failureDetail.clear();
    m_interrupted = false;
    m_deferred = nullptr;
    m_peerClosed = false;
    m_parked = false;
    m_acceptData = true;
    m_readSuppressed = false;
    m_readNotifier.setEnabled(true);
    return true;
}

void ClientSocket::onReadable()
{
    // A resting connection that turns readable has been closed by its peer, or
    // holds bytes no request asked for: it cannot carry another exchange.
    if (m_parked) {
        closeQuietly();
        return;
    }
    if (m_phase == Phase::Handshake) {
        continueHandshake();
        return;
    }
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
    bool closeNow = false;
    bool passSpent = false;
    std::optional<net::Error> failure;
    QString detail;
    {
        ReadingScope scope(m_reading);
        for (int reads = 0;; ++reads) {
            handOnPieces(false);
            if (!m_acceptData || m_closePending || m_fd < 0)
                break;
            if (reads == readsPerPass) {
                passSpent = true;
                break;
            }
            const ByteStream::Result got = readIntoBuffer();
            m_readWaitsForWrite = false;
            if (got.status == ByteStream::Status::Done)
                continue;
            if (got.status == ByteStream::Status::WouldBlock) {
                m_readWaitsForWrite = got.ready == ByteStream::Ready::Write;
                if (m_readWaitsForWrite)
                    m_writeNotifier.setEnabled(true);
                break;
            }
            closeNow = true;
            if (got.status == ByteStream::Status::End) {
                m_peerClosed = true;
                handOnPieces(true);
                break;
            }
            failure = got.error;
            detail = got.detail;
            if (*failure < net::Error::SocketUnmapped)
                receiveError(*failure, net::errorText(*failure, detail));
            else if (*failure != net::Error::SocketNotSocket)
                receiveError(*failure, QStringLiteral("Winsock error in recv()"));
            break;
        }
    }
    if (m_closePending) {
        m_closePending = false;
        close(m_closePendingFailure, m_closePendingDetail);
    } else if (closeNow) {
        close(failure, detail);
    } else if (m_fd >= 0 && m_acceptData) {
        if (m_readSuppressed)
            m_readNotifier.setEnabled(true);
        // Bytes the stream holds are not announced by the socket again.
        if (passSpent && m_stream->pendingInput() > 0)
            QMetaObject::invokeMethod(
                &m_readNotifier, [this] { guarded(&ClientSocket::onReadable); }, Qt::QueuedConnection);
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

ByteStream::Result ClientSocket::readIntoBuffer()
{
    char *space = m_buffer.freeSpace();
    const ByteStream::Result got = m_stream->read(space, m_buffer.freeSize());
    if (got.status == ByteStream::Status::Done)
        m_buffer.commit(got.bytes);
    return got;
}

void ClientSocket::drainQueued()
{
    // Only what has arrived by now: a server that keeps sending is not chased.
    qint64 left = net::queuedBytes(m_fd) + m_stream->pendingInput();
    for (;;) {
        handOnPieces(false);
        if (!m_acceptData)
            return;
        if (left <= 0)
            break;
        const ByteStream::Result got = readIntoBuffer();
        if (got.status != ByteStream::Status::Done)
            break;
        left -= got.bytes;
    }
    handOnPieces(true);
}

void ClientSocket::close(std::optional<net::Error> failure, const QString &detail)
{
    if (m_fd < 0) {
        m_closePending = false;
        return;
    }
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    if (m_reading) {
        m_closePending = true;
        m_closePendingFailure = failure;
        m_closePendingDetail = detail;
        return;
    }
    if (m_acceptData && !m_peerClosed) {
        ReadingScope scope(m_reading);
        drainQueued();
    }
    const bool wasOpen = m_phase == Phase::Open;
    if (wasOpen && !failure)
        m_stream->shutdown();
    ::close(m_fd);
    m_fd = -1;
    m_stream.reset();
    m_phase = Phase::Closed;
    m_closePending = false;
    m_parked = false;
    m_failure = failure;
    m_failureDetail = detail;
    if (wasOpen) {
        closing();
        disconnected(eventCode(failure), describe(failure, detail));
    }
}

void ClientSocket::interrupt()
{
    m_core.drainToWakeUp();
    if (m_fd < 0)
        return;
    m_interrupted = true;
    if (m_phase == Phase::Open)
        close(std::nullopt);
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
    m_stream.reset();
    m_phase = Phase::Closed;
    m_closePending = false;
    m_acceptData = false;
    m_parked = false;
    m_readSuppressed = false;
    m_readWaitsForWrite = false;
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

QString ClientSocket::failureText() const
{
    return m_failure ? net::errorText(*m_failure, m_failureDetail) : QString();
}

QByteArray ClientSocket::localHost() const
{
    if (m_phase == Phase::Open && m_fd >= 0)
        return net::localHostText(m_fd);
    if (!SocketLayerUse::running())
        return net::errorText(net::Error::SocketLayerNotLoaded).toLatin1();
    return net::localHostText(-1);
}
