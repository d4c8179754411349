#include "net/tlsstream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include "net/socketerrors.h"
#include "net/tlscontext.h"

namespace {

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a
// socket the peer has closed; this one sends with MSG_NOSIGNAL and keeps the
// errno for the code it maps to.
int bioWrite(BIO *bio, const char *data, int size)
{
    auto *io = static_cast<TlsStream::Io *>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::send(io->fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            BIO_set_retry_write(bio);
        else
            io->lastErrno = errno;
        return -1;
    }
}

int bioRead(BIO *bio, char *buffer, int size)
{
    auto *io = static_cast<TlsStream::Io *>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::recv(io->fd, buffer, static_cast<size_t>(size), 0);
        if (n >= 0) {
            io->ended = n == 0;
            return static_cast<int>(n);
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            BIO_set_retry_read(bio);
        else
            io->lastErrno = errno;
        return -1;
    }
}

long bioControl(BIO *bio, int command, long, void *)
{
    switch (command) {
    case BIO_CTRL_FLUSH:
        // Nothing is buffered in the BIO.
        return 1;
    case BIO_CTRL_EOF:
        // How OpenSSL tells the peer's end from a failed read.
        return static_cast<TlsStream::Io *>(BIO_get_data(bio))->ended ? 1 : 0;
    default:
        return 0;
    }
}

BIO_METHOD *socketMethod()
{
    static BIO_METHOD *method = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quillcast socket");
        if (method == nullptr)
            return;
        BIO_meth_set_write(method, bioWrite);
        BIO_meth_set_read(method, bioRead);
        BIO_meth_set_ctrl(method, bioControl);
    });
    return method;
}

bool isAddress(const QByteArray &host)
{
    unsigned char scratch[16];
    return ::inet_pton(AF_INET, host.constData(), scratch) == 1 ||
           ::inet_pton(AF_INET6, host.constData(), scratch) == 1;
}

bool isNameMismatch(long verifyResult)
{
    return verifyResult == X509_V_ERR_HOSTNAME_MISMATCH || verifyResult == X509_V_ERR_IP_ADDRESS_MISMATCH;
}

} // namespace

TlsStream::TlsStream(int fd, const QByteArray &host) : m_host(host)
{
    m_io.fd = fd;
    SSL_CTX *context = net::acquireClientContext(&m_setupFailure);
    if (context == nullptr)
        return;
    m_ssl = SSL_new(context);
    SSL_CTX_free(context);
    BIO *bio = socketMethod() != nullptr && m_ssl != nullptr ? BIO_new(socketMethod()) : nullptr;
    if (bio == nullptr) {
        m_setupFailure = net::takeOpenSslReason();
        SSL_free(m_ssl);
        m_ssl = nullptr;
        return;
    }
    BIO_set_data(bio, &m_io);
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);

    X509_VERIFY_PARAM *verify = SSL_get0_param(m_ssl);
    bool named = false;
    if (isAddress(host)) {
        named = X509_VERIFY_PARAM_set1_ip_asc(verify, host.constData()) == 1;
    } else {
        X509_VERIFY_PARAM_set_hostflags(verify, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = SSL_set1_host(m_ssl, host.constData()) == 1 &&
                SSL_set_tlsext_host_name(m_ssl, const_cast<char *>(host.constData())) == 1;
    }
    if (!named) {
        // Without the name to check, a trusted certificate of any host would pass.
        m_setupFailure = QStringLiteral("the host name cannot be checked: ") + QString::fromLatin1(host);
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    ERR_clear_error();
}

TlsStream::~TlsStream()
{
    SSL_free(m_ssl);
}

ByteStream::Result TlsStream::handshake()
{
    if (m_ssl == nullptr)
        return Result::failed(net::Error::TlsUnavailable, m_setupFailure);
    ERR_clear_error();
    m_io.lastErrno = 0;
    const int rc = SSL_connect(m_ssl);
    if (rc == 1) {
        m_established = true;
        return Result::done(0);
    }
    return failure(rc, true);
}

ByteStream::Result TlsStream::read(char *buffer, int size)
{
    ERR_clear_error();
    m_io.lastErrno = 0;
    size_t got = 0;
    const int rc = SSL_read_ex(m_ssl, buffer, static_cast<size_t>(size), &got);
    if (rc == 1)
        return Result::done(static_cast<int>(got));
    return failure(rc, false);
}

ByteStream::Result TlsStream::write(const char *data, int size)
{
    ERR_clear_error();
    m_io.lastErrno = 0;
    size_t sent = 0;
    const int rc = SSL_write_ex(m_ssl, data, static_cast<size_t>(size), &sent);
    if (rc == 1)
        return Result::done(static_cast<int>(sent));
    return failure(rc, false);
}

int TlsStream::pendingInput() const
{
    return m_ssl != nullptr ? SSL_pending(m_ssl) : 0;
}

void TlsStream::shutdown()
{
    if (!m_established || m_broken)
        return;
    // One call sends close_notify; the peer's own is not waited for.
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

ByteStream::Result TlsStream::failure(int rc, bool handshaking)
{
    switch (SSL_get_error(m_ssl, rc)) {
    case SSL_ERROR_WANT_READ:
        return Result::wouldBlock(Ready::Read);
    case SSL_ERROR_WANT_WRITE:
        return Result::wouldBlock(Ready::Write);
    case SSL_ERROR_ZERO_RETURN:
        if (!handshaking)
            return Result::end();
        break;
    case SSL_ERROR_SYSCALL:
        m_broken = true;
        if (m_io.lastErrno != 0) {
            ERR_clear_error();
            const net::Error socketError = net::socketErrorFromErrno(m_io.lastErrno);
            // A server that resets a hello usually wants no TLS: that is what the user must read.
            if (handshaking)
                return Result::failed(net::Error::TlsHandshakeFailed, net::errorText(socketError));
            return Result::failed(socketError);
        }
        if (!handshaking)
            return Result::end();
        break;
    default:
        m_broken = true;
        if (!handshaking)
            return Result::failed(net::Error::TlsConnectionFailed, net::takeOpenSslReason());
        break;
    }
    m_broken = true;
    return handshakeFailure();
}

ByteStream::Result TlsStream::handshakeFailure()
{
    const long verified = SSL_get_verify_result(m_ssl);
    if (isNameMismatch(verified)) {
        ERR_clear_error();
        return Result::failed(net::Error::TlsHostMismatch,
                              QStringLiteral("certificate is not for ") + QString::fromLatin1(m_host));
    }
    if (verified != X509_V_OK) {
        ERR_clear_error();
        return Result::failed(net::Error::TlsCertificateUntrusted,
                              QString::fromLatin1(X509_verify_cert_error_string(verified)));
    }
    QString reason = net::takeOpenSslReason();
    if (reason.isEmpty())
        reason = QStringLiteral("the server closed the connection");
    return Result::failed(net::Error::TlsHandshakeFailed, reason);
}
