#pragma once

// A loopback https server for the webmaster API fakes, and the RS256 check the
// fake token endpoint makes of an assertion.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <atomic>
#include <csignal>
#include <functional>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include "support/loopbacklisten.h"

namespace qctest {

// An https server on 127.0.0.1 that answers each connection's one request
// with what the handler returns, until it is destroyed. Every read and write
// gives up after ten seconds.
class TlsServer
{
public:
    using Handler = std::function<QByteArray(const QByteArray &request)>;

    TlsServer(const QString &pemFile, Handler handler) : m_handler(std::move(handler))
    {
        m_context = SSL_CTX_new(TLS_server_method());
        const QByteArray pem = QFile::encodeName(pemFile);
        m_listenFd = qctest::listenOnLoopback(&m_port);
        if (m_context != nullptr && SSL_CTX_use_certificate_chain_file(m_context, pem.constData()) == 1 &&
            SSL_CTX_use_PrivateKey_file(m_context, pem.constData(), SSL_FILETYPE_PEM) == 1 && m_listenFd >= 0)
            m_thread = std::thread([this] { serve(); });
    }
    ~TlsServer()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listenFd >= 0)
            ::close(m_listenFd);
        SSL_CTX_free(m_context);
    }
    TlsServer(const TlsServer &) = delete;
    TlsServer &operator=(const TlsServer &) = delete;

    bool started() const { return m_thread.joinable(); }
    QByteArray url(const QByteArray &path) const { return "https://127.0.0.1:" + QByteArray::number(m_port) + path; }

private:
    void serve()
    {
        // OpenSSL writes with write(): a client that is gone must not end the test program.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        while (!m_stopping) {
            if (!qctest::waitForEvents(m_listenFd, POLLIN, m_stopping, 1000))
                continue;
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                answer(fd);
        }
    }

    void answer(int fd)
    {
        const timeval deadline{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &deadline, sizeof deadline);
        SSL *ssl = SSL_new(m_context);
        SSL_set_fd(ssl, fd);
        QByteArray request;
        if (SSL_accept(ssl) == 1 && readRequest(ssl, request)) {
            const QByteArray answer = m_handler(request);
            SSL_write(ssl, answer.constData(), int(answer.size()));
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(fd);
    }

    // The head, then as many body bytes as Content-Length says.
    static bool readRequest(SSL *ssl, QByteArray &request)
    {
        char buffer[4096];
        qsizetype wanted = -1;
        while (wanted < 0 || request.size() < wanted) {
            const int got = SSL_read(ssl, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            request.append(buffer, got);
            const qsizetype headEnd = request.indexOf("\r\n\r\n");
            if (wanted < 0 && headEnd >= 0) {
                const qsizetype field = request.toLower().indexOf("\r\ncontent-length:");
                const qsizetype length = field >= 0 && field < headEnd
                                             ? request.mid(field + 17, request.indexOf("\r\n", field + 2) - field - 17)
                                                   .trimmed()
                                                   .toLongLong()
                                             : 0;
                wanted = headEnd + 4 + length;
            }
        }
        return true;
    }

    Handler m_handler;
    SSL_CTX *m_context = nullptr;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// The signature of input verifies against the PEM public key (RS256).
bool verifyRs256(const QByteArray &publicPem, const QByteArray &input, const QByteArray &signature);

} // namespace qctest
