#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "net/bytestream.h"
#include "net/proxyanswer.h"
#include "net/tcpstream.h"

// A stream through an HTTP proxy's tunnel: its handshake first sends the
// CONNECT request over the socket and reads the proxy's answer, then runs
// the handshake of the stream inside (TLS to the engine). Data goes to and
// from the inner stream only.
//
// Failures of the tunnel step name the proxy ("host:port"): 157 when the
// proxy asks for authentication, 158 (with the status line, or what went
// wrong, after the proxy's name) for any other answer than 2xx, an answer head
// of more than maxAnswer bytes or a close before the answer ended; socket
// failures keep their codes.
class TunnelStream : public ByteStream
{
public:
    static constexpr int maxAnswer = 64 * 1024;

    TunnelStream(int fd, const QByteArray &connectRequest, std::unique_ptr<ByteStream> inner, QString proxyName);

    Result handshake() override;
    Result read(char *buffer, int size) override { return m_inner->read(buffer, size); }
    Result write(const char *data, int size) override { return m_inner->write(data, size); }
    int pendingInput() const override { return m_inner->pendingInput(); }
    void shutdown() override { m_inner->shutdown(); }

private:
    enum class Phase {
        Request, // the CONNECT request goes out; `m_sent` bytes of it are gone
        Answer,  // the proxy's answer comes in, up to its empty line
        Inner,   // the tunnel stands: the inner stream's handshake runs
    };

    Result readAnswer();
    Result judgeAnswer();
    Result refused(const QString &why) const;

    int m_fd;
    TcpStream m_plain;
    QByteArray m_request;
    qsizetype m_sent = 0;
    Phase m_phase = Phase::Request;
    ProxyAnswerParser m_answer;
    std::unique_ptr<ByteStream> m_inner;
    QString m_proxyName;
};
