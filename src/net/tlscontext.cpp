#include "net/tlscontext.h"

#include <QByteArray>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace net {

namespace {

struct SharedContext
{
    std::mutex mutex;
    SSL_CTX *context = nullptr;
    QByteArray certFile;
    QByteArray certDir;
};

SharedContext &shared()
{
    static SharedContext instance;
    return instance;
}

SSL_CTX *makeContext(QString *failure)
{
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        *failure = takeOpenSslReason();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // HTTP/1.0 ends a body by closing, so a server that skips close_notify
    // has still sent its whole answer; OpenSSL 3 would call that an error.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // The exchange offers whatever it has left, from a moving pointer, and
    // takes a partial write like plain TCP's.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_set_default_verify_paths(context) != 1) {
        *failure = QStringLiteral("the trust store cannot be read (") + takeOpenSslReason() + QLatin1Char(')');
        SSL_CTX_free(context);
        return nullptr;
    }
    ERR_clear_error();
    return context;
}

} // namespace

SSL_CTX *acquireClientContext(QString *failure)
{
    SharedContext &current = shared();
    const std::lock_guard<std::mutex> lock(current.mutex);
    const QByteArray certFile = qgetenv("SSL_CERT_FILE");
    const QByteArray certDir = qgetenv("SSL_CERT_DIR");
    if (current.context == nullptr || certFile != current.certFile || certDir != current.certDir) {
        SSL_CTX *fresh = makeContext(failure);
        if (fresh == nullptr)
            return nullptr;
        if (current.context != nullptr)
            SSL_CTX_free(current.context);
        current.context = fresh;
        current.certFile = certFile;
        current.certDir = certDir;
    }
    SSL_CTX_up_ref(current.context);
    return current.context;
}

QString takeOpenSslReason()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return {};
    const char *reason = ERR_reason_error_string(code);
    if (reason != nullptr)
        return QString::fromLatin1(reason);
    return QStringLiteral("OpenSSL error %1").arg(ERR_GET_REASON(code));
}

} // namespace net
