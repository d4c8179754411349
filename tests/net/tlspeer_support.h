#pragma once

// A TLS server of the tests' own for one connection, for what lighttpd cannot
// be made to do: serve any certificate on a whim, end without close_notify,
// and tell whether the client sent its own close_notify.
#include <QByteArray>
#include <QFile>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace nettest {

class TlsPeer
{
public:
    enum class End {
        CloseNotify, // close_notify, then wait for the client's
        PlainClose,  // the TCP end (FIN) without close_notify, then wait for the client's
    };

    // Takes the handshake with the certificate and key of pemFile, reads a
    // request head, sends answer and ends as told. Bounded: a silent client
    // is given up after ten seconds.
    TlsPeer(const QString &pemFile, const QByteArray &answer, End end) : m_answer(answer), m_end(end)
    {
        m_context = SSL_CTX_new(TLS_server_method());
        const QByteArray pem = QFile::encodeName(pemFile);
        m_ok = m_context != nullptr && SSL_CTX_use_certificate_chain_file(m_context, pem.constData()) == 1 &&
               SSL_CTX_use_PrivateKey_file(m_context, pem.constData(), SSL_FILETYPE_PEM) == 1 && listen();
        if (m_ok)
            m_thread = std::thread([this] { serve(); });
    }
    ~TlsPeer()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_listenFd >= 0)
            ::close(m_listenFd);
        SSL_CTX_free(m_context);
    }
    TlsPeer(const TlsPeer &) = delete;
    TlsPeer &operator=(const TlsPeer &) = delete;

    bool started() const { return m_ok; }
    QByteArray url(const QByteArray &host = "127.0.0.1") const
    {
        return "https://" + host + ":" + QByteArray::number(m_port) + "/";
    }
    // Waits for the connection's end; true when the client ended with close_notify.
    bool clientSentCloseNotify()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_clientNotified;
    }
    // The host name the client sent in its hello (SNI), after the connection's end.
    QByteArray serverName()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_serverName;
    }

private:
    bool listen()
    {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(m_listenFd, 1) != 0 ||
            ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return false;
        m_port = ntohs(address.sin_port);
        // The accept and every read below give up after the deadline.
        const timeval deadline{10, 0};
        return ::setsockopt(m_listenFd, SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline) == 0;
    }

    void serve()
    {
        // OpenSSL writes with write(): a client that is gone must not end the test program.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const timeval deadline{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &deadline, sizeof deadline);
        SSL *ssl = SSL_new(m_context);
        SSL_set_fd(ssl, fd);
        const bool accepted = SSL_accept(ssl) == 1;
        if (const char *name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name))
            m_serverName = name;
        if (accepted && readHead(ssl) && SSL_write(ssl, m_answer.constData(), int(m_answer.size())) > 0) {
            if (m_end == End::CloseNotify)
                SSL_shutdown(ssl);
            else
                ::shutdown(fd, SHUT_WR);
            char scratch[256];
            while (SSL_read(ssl, scratch, sizeof scratch) > 0) {
            }
            m_clientNotified = (SSL_get_shutdown(ssl) & SSL_RECEIVED_SHUTDOWN) != 0;
        }
        SSL_free(ssl);
        ::close(fd);
    }

    bool readHead(SSL *ssl)
    {
        QByteArray head;
        char c = 0;
        while (!head.endsWith("\r\n\r\n")) {
            if (SSL_read(ssl, &c, 1) != 1)
                return false;
            head += c;
        }
        return true;
    }

    QByteArray m_answer;
    End m_end;
    SSL_CTX *m_context = nullptr;
    int m_listenFd = -1;
    quint16 m_port = 0;
    bool m_ok = false;
    std::atomic<bool> m_clientNotified{false};
    QByteArray m_serverName;
    std::thread m_thread;
};

} // namespace nettest
