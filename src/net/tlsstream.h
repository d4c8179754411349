#pragma once

#include <QByteArray>
#include <QString>

#include "net/bytestream.h"

typedef struct ssl_st SSL;

// TLS (1.2 or later, through OpenSSL) over a connected non-blocking socket.
// The handshake sends the host name (SNI; not for an address) and fails
// unless the server's chain leads to the trust store and its certificate is
// for that host name or address. Verification cannot be turned off.
//
// Failures: 160 for a handshake that broke off (the detail says how, a socket
// error included), 161 for a chain that is not trusted (OpenSSL's verify
// error), 162 for a certificate of another host, 163 for a connection that
// breaks after the handshake, 164 when TLS cannot be set up at all. A socket
// failure after the handshake keeps its socket code.
// An end without close_notify reads as an orderly end. The socket stays the
// caller's: the stream never closes it, and never raises SIGPIPE.
class TlsStream : public ByteStream
{
public:
    TlsStream(int fd, const QByteArray &host);
    ~TlsStream() override;
    TlsStream(const TlsStream &) = delete;
    TlsStream &operator=(const TlsStream &) = delete;

    Result handshake() override;
    Result read(char *buffer, int size) override;
    Result write(const char *data, int size) override;
    int pendingInput() const override;
    void shutdown() override;

    // What the stream's BIO works on and leaves behind.
    struct Io
    {
        int fd = -1;
        int lastErrno = 0;  // of the last failed send or receive; 0 for none
        bool ended = false; // the last receive read the peer's end
    };

private:
    Result failure(int rc, bool handshaking);
    Result handshakeFailure();

    Io m_io;
    SSL *m_ssl = nullptr;
    QByteArray m_host;
    QString m_setupFailure;
    bool m_established = false;
    // A fatal error happened: OpenSSL must not be asked for close_notify.
    bool m_broken = false;
};
