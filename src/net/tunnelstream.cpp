#include "net/tunnelstream.h"

#include <cerrno>
#include <sys/socket.h>

#include "net/socketerrors.h"

TunnelStream::TunnelStream(int fd, const QByteArray &connectRequest, std::unique_ptr<ByteStream> inner,
                           QString proxyName)
    : m_fd(fd), m_plain(fd), m_request(connectRequest), m_inner(std::move(inner)), m_proxyName(std::move(proxyName))
{}

ByteStream::Result TunnelStream::handshake()
{
    while (m_phase == Phase::Request) {
        const Result sent = m_plain.write(m_request.constData() + m_sent, static_cast<int>(m_request.size() - m_sent));
        if (sent.status != Status::Done)
            return sent;
        m_sent += sent.bytes;
        if (m_sent == m_request.size())
            m_phase = Phase::Answer;
    }
    if (m_phase == Phase::Answer) {
        const Result answer = readAnswer();
        if (m_phase != Phase::Inner)
            return answer;
    }
    return m_inner->handshake();
}

ByteStream::Result TunnelStream::readAnswer()
{
    char peek[4096];
    for (;;) {
        // Peeked first, then only what the answer takes is removed: the bytes
        // after its empty line are the inner stream's.
        const ssize_t n = ::recv(m_fd, peek, sizeof peek, MSG_PEEK);
        if (n == 0)
            return refused(m_answer.state() == ProxyAnswerParser::State::StatusLine
                               ? QStringLiteral("closed without an answer")
                               : QString::fromLatin1(m_answer.statusLine()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return Result::wouldBlock(Ready::Read);
            return Result::failed(net::socketErrorFromErrno(errno));
        }
        const int taken = m_answer.feed(peek, static_cast<int>(n));
        ssize_t removed;
        do
            removed = ::recv(m_fd, peek, static_cast<size_t>(taken), 0);
        while (removed < 0 && errno == EINTR);
        if (removed != taken)
            return Result::failed(removed < 0 ? net::socketErrorFromErrno(errno) : net::Error::SocketConnectionReset);
        if (m_answer.done())
            return judgeAnswer();
        if (m_answer.consumed() > maxAnswer)
            return refused(QStringLiteral("answer too long"));
    }
}

ByteStream::Result TunnelStream::judgeAnswer()
{
    const int code = m_answer.statusCode();
    if (code >= 200 && code <= 299) {
        m_phase = Phase::Inner;
        return Result::done(0);
    }
    if (code == 407)
        return Result::failed(net::Error::ProxyAuthentication, m_proxyName);
    return refused(QString::fromLatin1(m_answer.statusLine()));
}

ByteStream::Result TunnelStream::refused(const QString &why) const
{
    return Result::failed(net::Error::ProxyRefused, m_proxyName + QStringLiteral(": ") + why);
}
