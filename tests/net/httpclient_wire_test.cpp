#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net/httpresponse.h"
#include "netwire_support.h"
#include "support/loopbackpeer.h"
#include "support/tempdir.h"

using nettest::EventLog;
using nettest::perform;

namespace {

const QByteArray okHead = "HTTP/1.0 200 OK\r\n\r\n";

struct RequestCase
{
    const char *name;
    std::function<void(THTTPClient &, const QByteArray &peerUrl, quint16 peerPort)> setUp;
    THTTPActions action;
    QByteArray expected;
};

TEST(RequestOnTheWire, BytesAreExactlyAsWritten)
{
    const RequestCase cases[] = {
        {"GET with every header empty",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("");
             c.setURL(url + "path?q=1");
         },
         httpGet, "GET /path?q=1 HTTP/1.0\r\nHost: {peer}\r\n\r\n"},
        {"GET with headers in their order",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setURL(url);
             c.setUserAgent("Quillcast");
             c.setReferer("http://r/");
             c.setAccept("text/html");
             c.setOtherHeaders("X-Extra: 1\r\n");
         },
         httpGet,
         "GET / HTTP/1.0\r\nHost: {peer}\r\nAccept: text/html\r\n"
         "User-Agent: Quillcast\r\nReferer: http://r/\r\nX-Extra: 1\r\n\r\n"},
        {"HEAD",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Q");
             c.setURL(url + "h");
         },
         httpHead, "HEAD /h HTTP/1.0\r\nHost: {peer}\r\nUser-Agent: Q\r\n\r\n"},
        {"POST with empty PostData still sends the length",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Quillcast");
             c.setURL(url + "cgi-bin/add.cgi");
         },
         httpPost,
         "POST /cgi-bin/add.cgi HTTP/1.0\r\nHost: {peer}\r\nUser-Agent: Quillcast\r\nContent-Length: 0\r\n\r\n"},
        {"POST form",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Quillcast");
             c.setURL(url + "cgi-bin/add.cgi");
             c.setContentType("application/x-www-form-urlencoded");
             c.setPostData("a=1&b=2");
         },
         httpPost,
         "POST /cgi-bin/add.cgi HTTP/1.0\r\nHost: {peer}\r\nUser-Agent: Quillcast\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n\r\na=1&b=2"},
        {"PUT",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("");
             c.setURL(url + "f");
             c.setPostData("xyz");
         },
         httpPut, "PUT /f HTTP/1.0\r\nHost: {peer}\r\nContent-Length: 3\r\n\r\nxyz"},
        {"through a proxy the target is absolute, the Host the target's, the scheme unchecked",
         [](THTTPClient &c, const QByteArray &, quint16 port) {
             c.setUserAgent("");
             c.setProxyServer("127.0.0.1");
             c.setProxyPort(port);
             c.setURL("HTTP://engine.example:8080/add?u=x");
         },
         httpGet, "GET HTTP://engine.example:8080/add?u=x HTTP/1.0\r\nHost: engine.example:8080\r\n\r\n"},
        {"Basic authorization",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("");
             c.setURL(url);
             c.setUser("user");
             c.setPassword("pass");
         },
         httpGet, "GET / HTTP/1.0\r\nHost: {peer}\r\nAuthorization: Basic dXNlcjpwYXNz\r\n\r\n"},
        {"a kept connection is asked for, in the version set",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Q");
             c.setPersistentConnection(true);
             c.setHTTPVersion("HTTP/1.1");
             c.setOtherHeaders("X-Extra: 1\r\n");
             c.setURL(url);
         },
         httpGet, "GET / HTTP/1.1\r\nHost: {peer}\r\nUser-Agent: Q\r\nConnection: keep-alive\r\nX-Extra: 1\r\n\r\n"},
    };
    for (const RequestCase &c : cases) {
        qctest::LoopbackPeer peer;
        peer.readRequest().send(okHead).closeConnection();
        ASSERT_TRUE(peer.start());
        THTTPClient client;
        c.setUp(client, peer.url(), peer.port());
        EXPECT_EQ(perform(client, c.action), "") << c.name;
        QByteArray expected = c.expected;
        expected.replace("{peer}", "127.0.0.1:" + QByteArray::number(peer.port()));
        EXPECT_EQ(peer.request(), expected) << c.name;
        EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK") << c.name;
    }
}

TEST(RequestOnTheWire, AttachedFileFollowsPostData)
{
    qctest::ScopedBaseDir dir;
    QByteArray attached;
    for (int i = 0; i < 5000; ++i)
        attached += static_cast<char>(i * 7);
    qctest::writeFile(dir.file("upload.bin"), attached);

    qctest::LoopbackPeer peer;
    peer.readRequest().send(okHead).closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    client.setUserAgent("");
    client.setURL(peer.url("/up"));
    client.setPostData("head:");
    client.setAttachedFile(dir.file("upload.bin"));
    EXPECT_EQ(perform(client, httpPost), "");
    EXPECT_EQ(peer.request(), "POST /up HTTP/1.0\r\nHost: 127.0.0.1:" + QByteArray::number(peer.port()) +
                                  "\r\nContent-Length: 5005\r\n\r\nhead:" + attached);
}

TEST(RequestOnTheWire, UnsafeRequestsAreRefusedBeforeAnyConnection)
{
    using Setter = void (THTTPClient::*)(const QByteArray &);
    struct Case
    {
        const char *name;
        QByteArray url; // a path on the peer, or a whole URL
        Setter set;
        QByteArray value;
        THTTPActions action;
        QByteArray outcome;
    };
    const QByteArray target = "154: Request target contains a blank or control character";
    const QByteArray header = "155: Request header contains a line break or control character";
    const Case cases[] = {
        {"blank in the path", "/a b", nullptr, "", httpGet, target},
        {"control byte in the query", "/?q=\x01", nullptr, "", httpGet, target},
        {"DEL in the path", "/a\x7F", nullptr, "", httpHead, target},
        {"blank in the absolute URL through a proxy", "http://engine example/", &THTTPClient::setProxyServer,
         "127.0.0.1", httpGet, target},
        {"control byte in the Host", "http://127.0.0.1\x02/", nullptr, "", httpGet, header},
        {"CR LF in the User-Agent", "/", &THTTPClient::setUserAgent, "Q\r\nX-Injected: 1", httpGet, header},
        {"LF in the Referer", "/", &THTTPClient::setReferer, "http://r/\n", httpGet, header},
        {"NUL in the From", "/", &THTTPClient::setFrom, QByteArray("me\0you", 6), httpGet, header},
        {"escape in the Authorization", "/", &THTTPClient::setAuthorization, "Basic \x1B", httpGet, header},
        {"CR in the Content-Type of a POST", "/", &THTTPClient::setContentType, "text/plain\r", httpPost, header},
        {"HT in a header value is sent", "/", &THTTPClient::setPragma, "a\tb", httpGet, ""},
        {"bytes above ASCII are sent, and an unsent Content-Type is not looked at", "/caf\xC3\xA9",
         &THTTPClient::setContentType, "x\r\n", httpGet, ""},
    };
    for (const Case &c : cases) {
        qctest::LoopbackPeer peer;
        peer.readRequest().send(okHead).closeConnection();
        ASSERT_TRUE(peer.start());
        THTTPClient client;
        client.setURL(c.url.startsWith("http:") ? c.url : peer.url(c.url));
        if (c.set)
            (client.*c.set)(c.value);
        EXPECT_EQ(perform(client, c.action), c.outcome) << c.name;
        peer.stop();
        EXPECT_EQ(peer.served(), c.outcome.isEmpty() ? 1 : 0) << c.name;
    }
}

TEST(ResponseHandling, EventsComeInOrderAndTheStatusLineIsKept)
{
    qctest::LoopbackPeer peer;
    peer.readRequest()
        .send("HTTP/1.0 200 OK\r\nServer:Apache\r\nX-A:  b\r\n\tfolded\r\n\r\nhello")
        .send(" world")
        .closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_EQ(log.lines, (QList<QByteArray>{"connected 0 OK", "header Server|Apache", "header X-A| b", "header |folded",
                                            "start", "transfer", "end", "disconnected 0 OK"}));
    EXPECT_EQ(log.body, "hello world");
    EXPECT_EQ(log.lastCount, 11);
    EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST(ResponseHandling, StatusOutcomes)
{
    struct Case
    {
        const char *name;
        QByteArray answer;
        QByteArray outcome;
        QByteArray statusLine;
    };
    const Case cases[] = {
        {"redirect is a failure", "HTTP/1.0 302 Found\r\nLocation: http://x/\r\n\r\n", "151: 302 Found",
         "HTTP/1.0 302 Found"},
        {"not found", "HTTP/1.0 404 Not Found\r\n\r\ngone", "151: 404 Not Found", "HTTP/1.0 404 Not Found"},
        {"status line without a blank", "HTTP/1.0\r\n\r\n", "151: ", "HTTP/1.0"},
        {"only the first digit counts", "HTTP/1.0 299 Odd\r\n\r\n", "", "HTTP/1.0 299 Odd"},
        {"no status line at all succeeds", "", "", ""},
        {"status line only, then close", "HTTP/1.0 201 Created", "", "HTTP/1.0 201 Created"},
        {"interim answers are skipped",
         "HTTP/1.1 100 Continue\r\nX: 1\r\n\r\nHTTP/1.1 102 P\r\n\r\nHTTP/1.0 200 OK\r\n\r\n", "", "HTTP/1.0 200 OK"},
        {"the final answer after an interim one is classified",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Gone\r\n\r\n", "151: 404 Gone", "HTTP/1.1 404 Gone"},
        {"an interim answer alone is no answer", "HTTP/1.1 100 Continue\r\n\r\n", "", ""},
    };
    for (const Case &c : cases) {
        qctest::LoopbackPeer peer;
        peer.readRequest().send(c.answer).closeConnection();
        ASSERT_TRUE(peer.start());
        THTTPClient client;
        client.setURL(peer.url());
        EXPECT_EQ(perform(client, httpGet), c.outcome) << c.name;
        EXPECT_EQ(client.StatusLine(), c.statusLine) << c.name;
    }
}

TEST(ResponseHandling, RedirectLocationOnlyReachesTheHeaderEvent)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 302 Found\r\nLocation: http://elsewhere/\r\n\r\n").closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    const QByteArray url = peer.url("/a");
    client.setURL(url);
    EXPECT_EQ(perform(client, httpGet), "151: 302 Found");
    EXPECT_TRUE(log.lines.contains("header Location|http://elsewhere/"));
    EXPECT_EQ(client.URL(), url);
    peer.stop();
    EXPECT_EQ(peer.served(), 1);
}

TEST(ResponseHandling, HeaderLongerThanTheBufferArrivesInTwoPieces)
{
    const QByteArray longValue(3000 - 3, 'v');
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\nX: " + longValue + "\r\n\r\n").closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    QList<QByteArray> fields;
    QList<qsizetype> sizes;
    client.OnHeader = [&](QObject *, const QByteArray &field, const QByteArray &value) {
        fields << field;
        sizes << field.size() + value.size();
    };
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_EQ(fields.size(), 2);
    // "X: " + 2045 bytes is the first 2048; the last 952 have no colon.
    EXPECT_EQ(sizes, (QList<qsizetype>{2048 - 2, 952}));
}

TEST(ResponseHandling, ResetDuringTheBodyKeepsTheStatusLine)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\npartial body").resetConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "10054: [10054] Connection reset by peer");
    ASSERT_GE(log.lines.size(), 3);
    const QList<QByteArray> tail = log.lines.mid(log.lines.size() - 3);
    EXPECT_EQ(tail, (QList<QByteArray>{"error 10054 Winsock error in recv()", "end",
                                       "disconnected 10054 [10054] Connection reset by peer"}));
    EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK");
}

TEST(ResponseHandling, NoContentCreatesNoFileAndNoTransfer)
{
    qctest::ScopedBaseDir dir;
    qctest::writeFile(dir.file("kept.htm"), "earlier answer");
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 204 No Content\r\n\r\n").closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL(peer.url());
    client.setLocalFile(dir.file("new.htm"));
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_FALSE(log.lines.contains("transfer"));
    EXPECT_FALSE(QFile::exists(dir.file("new.htm")));

    qctest::LoopbackPeer second;
    second.readRequest().send("HTTP/1.0 204 No Content\r\n\r\n").closeConnection();
    ASSERT_TRUE(second.start());
    client.setURL(second.url());
    client.setLocalFile(dir.file("kept.htm"));
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_EQ(qctest::readFile(dir.file("kept.htm")), "earlier answer");
}

TEST(LocalFile, BodyReplacesAnExistingFileByteForByte)
{
    qctest::ScopedBaseDir dir;
    qctest::writeFile(dir.file("answer.htm"), QByteArray(50000, 'o'));
    QByteArray body;
    for (int i = 0; i < 20000; ++i)
        body += static_cast<char>(i % 251);
    qctest::LoopbackPeer peer;
    peer.readRequest().send(okHead + body).closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL(peer.url());
    client.setLocalFile(dir.file("answer.htm"));
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_EQ(qctest::readFile(dir.file("answer.htm")), body);
    EXPECT_EQ(log.body, body);
    EXPECT_EQ(log.lastCount, body.size());
}

TEST(LocalFile, UnopenableFileDropsEachChunkWithAnError)
{
    qctest::ScopedBaseDir dir;
    qctest::LoopbackPeer peer;
    peer.readRequest().send(okHead + "abc").closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL(peer.url());
    client.setLocalFile(dir.file("missing-folder/answer.htm"));
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_TRUE(log.lines.contains("error 0 Can't open local file for writing."));
    EXPECT_FALSE(log.lines.contains("transfer"));
}

// A file-size limit makes writes past 4096 bytes fail, as a full disk would.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

TEST(LocalFile, AfterAWriteErrorLaterChunksLeaveTheFileAlone)
{
    qctest::ScopedBaseDir dir;
    QByteArray body;
    // Longer than what the file side holds back, so writing fails mid-body.
    for (int i = 0; i < 200000; ++i)
        body += static_cast<char>('a' + i % 26);
    qctest::LoopbackPeer peer;
    peer.readRequest().send(okHead + body).closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.setURL(peer.url());
    client.setLocalFile(dir.file("answer.htm"));
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(perform(client, httpGet), "");
    }
    EXPECT_EQ(log.lines.count("error 7 Error writing to LocalFile"), 1);
    EXPECT_EQ(log.body, body); // every chunk is still reported
    EXPECT_EQ(qctest::readFile(dir.file("answer.htm")), body.left(4096));
}

TEST(LocalFile, LimitCutsTheFileButNotTheEvents)
{
    qctest::ScopedBaseDir dir;
    QByteArray body;
    for (int i = 0; i < 20000; ++i)
        body += static_cast<char>(i % 251);
    struct Case
    {
        qint64 limit;
        qsizetype kept;
        bool cut;
    };
    // One client throughout: a later exchange must not inherit the earlier cut.
    THTTPClient client;
    for (const Case &c : {Case{5000, 5000, true}, Case{20000, 20000, false}, Case{1, 1, true}, Case{0, 20000, false}}) {
        qctest::LoopbackPeer peer;
        peer.readRequest().send(okHead + body).closeConnection();
        ASSERT_TRUE(peer.start());
        qint32 reported = 0;
        client.OnTransfer = [&](QObject *, qint32 count, const char *, quint16) { reported = count; };
        client.setURL(peer.url());
        client.setLocalFile(dir.file("answer.htm"));
        client.setLocalFileLimit(c.limit);
        EXPECT_EQ(perform(client, httpGet), "") << c.limit;
        EXPECT_EQ(qctest::readFile(dir.file("answer.htm")), body.left(c.kept)) << c.limit;
        EXPECT_EQ(client.LocalFileCut(), c.cut) << c.limit;
        EXPECT_EQ(reported, body.size()) << c.limit;
    }
}

TEST(Interrupting, IdleEndsAServerThatNeverClosesWithoutError)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\nsome").holdOpen();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    client.OnStartTransfer = [&](QObject *) {
        log.lines << "start";
        QTimer::singleShot(0, &client, [&] { client.setAction(httpIdle); });
    };
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_EQ(log.lines.mid(log.lines.size() - 2), (QList<QByteArray>{"end", "disconnected 0 OK"}));
    EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(client.SocketHandle(), -1);
    EXPECT_TRUE(peer.waitForClientClose());
}

// Answers one request with head, then chunk over and over for as long as the
// client reads, up to a cap that no interrupted exchange comes near; then it
// holds the connection until the client closes it or the peer is destroyed.
class EndlessPeer
{
public:
    static constexpr qint64 cap = qint64(1) << 30;

    EndlessPeer(const QByteArray &head, const QByteArray &chunk) : m_head(head), m_chunk(chunk)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~EndlessPeer()
    {
        m_stopping = true;
        m_thread.join();
        ::close(m_listener);
    }
    QByteArray url() const { return "http://127.0.0.1:" + QByteArray::number(m_port) + "/"; }
    qint64 sent() const { return m_sent; }

private:
    // Bounded: every wait gives up after the peer's step deadline or when stopping.
    bool waitFor(int fd, short events)
    {
        for (int slice = 0; slice < qctest::LoopbackPeer::stepDeadlineMs / 50 && !m_stopping; ++slice) {
            pollfd entry{fd, events, 0};
            if (::poll(&entry, 1, 50) > 0)
                return (entry.revents & (POLLERR | POLLHUP)) == 0 || (events & POLLIN);
        }
        return false;
    }
    void serve()
    {
        if (!waitFor(m_listener, POLLIN))
            return;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        QByteArray request;
        char scratch[4096];
        while (!request.contains("\r\n\r\n") && waitFor(fd, POLLIN)) {
            const ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
            if (n <= 0)
                break;
            request.append(scratch, n);
        }
        QByteArray next = m_head;
        while (m_sent < cap && waitFor(fd, POLLOUT)) {
            const ssize_t n = ::send(fd, next.constData(), static_cast<size_t>(next.size()), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            m_sent += n;
            next = n < next.size() ? next.mid(n) : m_chunk;
        }
        while (m_sent >= cap && waitFor(fd, POLLIN) && ::recv(fd, scratch, sizeof scratch, 0) > 0) {
        }
        ::close(fd);
    }

    QByteArray m_head;
    QByteArray m_chunk;
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<qint64> m_sent{0};
};

TEST(Interrupting, EndlessAnswerLeavesTimersRunningAndEndsAtTheInterrupt)
{
    struct Case
    {
        const char *name;
        QByteArray head;
        bool quit; // the tick asks the application to quit instead of assigning httpIdle
        QByteArray outcome;
    };
    const Case cases[] = {
        {"endless body", "HTTP/1.0 200 OK\r\n\r\n", false, ""},
        {"endless header line", "HTTP/1.0 200 OK\r\nX-Endless: ", false, ""},
        {"endless body, quit request", "HTTP/1.0 200 OK\r\n\r\n", true, "301: Interrupted."},
    };
    const int ticksBeforeInterrupt = 3;
    for (const Case &c : cases) {
        EndlessPeer peer(c.head, QByteArray(64 * 1024, 'x'));
        THTTPClient client;
        int ticks = 0;
        QTimer timer;
        qint64 received = 0;
        int longestPiece = 0;
        auto take = [&](int len) {
            received += len;
            longestPiece = std::max(longestPiece, len);
            // Started at the first bytes, so every tick comes while data is streaming.
            if (!timer.isActive() && ticks == 0)
                timer.start();
            // A piece is done only once more bytes wait behind it: the client never
            // finds the socket empty, so only its own bounded reading lets timers run.
            pollfd more{client.SocketHandle(), POLLIN, 0};
            if (more.fd >= 0 && peer.sent() < EndlessPeer::cap)
                ::poll(&more, 1, qctest::LoopbackPeer::stepDeadlineMs);
        };
        client.OnHeader = [&](QObject *, const QByteArray &field, const QByteArray &value) {
            take(int(field.size() + value.size()));
        };
        client.OnTransfer = [&](QObject *, qint32, const char *, quint16 len) { take(len); };
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
            if (++ticks != ticksBeforeInterrupt)
                return;
            if (c.quit)
                QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
            else
                client.setAction(httpIdle);
        });
        client.setURL(peer.url());
        EXPECT_EQ(perform(client, httpGet), c.outcome) << c.name;
        timer.stop();
        QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::Quit);
        EXPECT_GE(ticks, ticksBeforeInterrupt) << c.name;
        EXPECT_LT(peer.sent(), EndlessPeer::cap) << c.name << ": the interrupt waited for the stream to pause";
        EXPECT_LE(longestPiece, LineBuffer::m_lenBuffer) << c.name;
        EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK") << c.name;
        EXPECT_EQ(client.SocketHandle(), -1) << c.name;
    }
}

TEST(Interrupting, IdleAfterAFailingStatusLineStillFails)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 500 Oops\r\n\r\n").holdOpen();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    client.OnStartTransfer = [&](QObject *) { QTimer::singleShot(0, &client, [&] { client.setAction(httpIdle); }); };
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "151: 500 Oops");
}

// Counts (and takes away) the quit requests that reach the application.
struct QuitCatcher : QObject
{
    int quits = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
            ++quits;
            return true;
        }
        return false;
    }
};

TEST(Interrupting, QuitRequestEndsTheWaitAndIsPassedOn)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\n").holdOpen();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    client.OnStartTransfer = [](QObject *) {
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    };
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "301: Interrupted.");
    EXPECT_EQ(client.SocketHandle(), -1);
    EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK");

    QuitCatcher catcher;
    QCoreApplication::instance()->installEventFilter(&catcher);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::instance()->removeEventFilter(&catcher);
    EXPECT_EQ(catcher.quits, 1);
}

// A listener whose backlog is already full: a connect to it stays pending.
class StalledListener
{
public:
    StalledListener()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 0);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(m_filler, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    ~StalledListener()
    {
        ::close(m_filler);
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};

TEST(Interrupting, IdleWhileConnectingEndsWithInterrupted)
{
    StalledListener stalled;
    THTTPClient client;
    EventLog log(client);
    client.setURL("http://127.0.0.1:" + QByteArray::number(stalled.port()) + "/");
    QTimer::singleShot(0, &client, [&] { client.setAction(httpIdle); });
    EXPECT_EQ(perform(client, httpGet), "301: Interrupted.");
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST(ConnectionFailures, FailBeforeOrAtTheConnection)
{
    const quint16 closedPort = [] {
        qctest::LoopbackPeer probe;
        probe.start(0);
        return probe.port();
    }();
    struct Case
    {
        const char *name;
        QByteArray url;
        QByteArray proxy;
        QByteArray outcome;
        QList<QByteArray> events;
    };
    const Case cases[] = {
        {"refused port",
         "http://127.0.0.1:" + QByteArray::number(closedPort) + "/",
         "",
         "10061: [10061] Connection refused",
         {"connected 10061 [10061] Connection refused"}},
        {"name that cannot be resolved", "http://no-such-host.invalid/", "", "11001: [11001] Host not found", {}},
        {"port zero",
         "http://127.0.0.1:abc/",
         "",
         "116: RemotePort can't be zero. Please specify a valid service port number.",
         {}},
        {"scheme other than http", "HTTP://127.0.0.1/", "", "153: Specified URLScheme is invalid.", {}},
        {"no server", "http:///x", "", "152: No server specified in URL", {}},
        {"no server even through a proxy", "x", "127.0.0.1", "152: No server specified in URL", {}},
    };
    for (const Case &c : cases) {
        THTTPClient client;
        EventLog log(client);
        client.setProxyServer(c.proxy);
        client.setURL(c.url);
        EXPECT_EQ(perform(client, httpGet), c.outcome) << c.name;
        EXPECT_EQ(log.lines, c.events) << c.name;
        EXPECT_EQ(client.StatusLine(), "") << c.name;
        EXPECT_EQ(client.SocketHandle(), -1) << c.name;
    }
}

TEST(ConnectionFailures, WithoutTheSocketLayerTheAddressIsInvalid)
{
    THTTPClient client;
    client.setSocketLayerLoaded(false);
    client.setURL("http://127.0.0.1:8080/");
    EXPECT_EQ(perform(client, httpGet), "102: The RemoteHost address is invalid (0.0.0.0).");
    EXPECT_EQ(client.LocalHost(), "[10093] Winsock not loaded yet (WSANOTINITIALISED)");
    client.setSocketLayerLoaded(true);
    EXPECT_NE(client.LocalHost(), "[10093] Winsock not loaded yet (WSANOTINITIALISED)");
}

TEST(ConnectionFailures, FailedRequestLeavesNoConnectionBehind)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send(okHead).closeConnection();
    ASSERT_TRUE(peer.start(2));
    THTTPClient client;
    client.setURL(peer.url());
    client.setAttachedFile("/nonexistent/attachment.bin");
    EXPECT_EQ(perform(client, httpPost), "302: Can't open attached file for reading.");
    EXPECT_EQ(client.SocketHandle(), -1);
    client.setAttachedFile("");
    EXPECT_EQ(perform(client, httpGet), "");
}

TEST(Reentrancy, RequestFromAHandlerFailsAndLeavesThePendingOneIntact)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\nA: 1\r\n\r\nbody").closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    EventLog log(client);
    QByteArray nested;
    client.OnHeader = [&](QObject *, const QByteArray &, const QByteArray &) {
        try {
            client.setAction(httpGet);
        } catch (const ENetCore &failure) {
            nested = failure.what();
        }
    };
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_TRUE(nested.startsWith("101: You cannot change the RemoteHost")) << nested.constData();
    EXPECT_EQ(log.body, "body");
    EXPECT_EQ(client.StatusLine(), "HTTP/1.0 200 OK");
}

TEST(Reentrancy, ExceptionFromAHandlerComesOutOfTheAction)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send("HTTP/1.0 200 OK\r\nA: 1\r\n\r\n").holdOpen();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    client.OnHeader = [](QObject *, const QByteArray &, const QByteArray &) {
        throw std::runtime_error("handler failed");
    };
    client.setURL(peer.url());
    nettest::Watchdog watchdog(client);
    EXPECT_THROW(client.setAction(httpGet), std::runtime_error);
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST(LocalHostName, HostNameWithoutConnectionAddressWhileConnected)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send(okHead + "x").closeConnection();
    ASSERT_TRUE(peer.start());
    THTTPClient client;
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(client.LocalHost(), QByteArray(name).left(100));
    QByteArray during;
    client.OnStartTransfer = [&](QObject *) { during = client.LocalHost(); };
    client.setURL(peer.url());
    EXPECT_EQ(perform(client, httpGet), "");
    EXPECT_EQ(during, "127.0.0.1");
}

// The client a kept-connection test uses: HTTP/1.1, no User-Agent, its events logged.
struct KeptClient
{
    THTTPClient client;
    EventLog log{client};
    KeptClient()
    {
        client.setUserAgent("");
        client.setHTTPVersion("HTTP/1.1");
        client.setPersistentConnection(true);
    }
    QByteArray get(const QByteArray &url, THTTPActions action = httpGet)
    {
        client.setURL(url);
        return perform(client, action);
    }
};

QByteArray requestFor(const char *method, const QByteArray &path, quint16 port, const QByteArray &body = {})
{
    return QByteArray(method) + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nConnection: keep-alive\r\n" +
           (body.isNull() ? QByteArray() : "Content-Length: " + QByteArray::number(body.size()) + "\r\n") + "\r\n" +
           body;
}

TEST(KeptConnections, TwoRequestsGoOverOneConnection)
{
    qctest::LoopbackPeer peer;
    peer.readRequest()
        .send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none")
        .readRequest()
        .send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;x=y\r\ntwo\r\n0\r\nT: 1\r\n\r\n")
        .holdOpen();
    ASSERT_TRUE(peer.start(1));
    KeptClient kept;
    EXPECT_EQ(kept.get(peer.url("/a")), "");
    EXPECT_EQ(kept.client.SocketHandle(), -1) << "no exchange is under way while the connection rests";
    EXPECT_EQ(kept.get(peer.url("/b")), "");
    EXPECT_EQ(kept.log.body, "onetwo");
    EXPECT_EQ(kept.log.lines,
              (QList<QByteArray>{"connected 0 OK", "header Content-Length|3", "start", "transfer", "end",
                                 "header Transfer-Encoding|chunked", "start", "transfer", "end"}));
    EXPECT_EQ(peer.request(0), requestFor("GET", "/a", peer.port()) + requestFor("GET", "/b", peer.port()));
    kept.client.setPersistentConnection(false);
    EXPECT_TRUE(peer.waitForClientClose()) << "turning the property off closes the kept connection";
}

TEST(KeptConnections, BodyFramingFailures)
{
    struct Case
    {
        const char *name;
        QByteArray answer;
        QByteArray outcome;
        QByteArray body;
    };
    const Case cases[] = {
        {"a chunk size that is no hex number", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\nzz\r\n",
         "170: malformed chunked body: chunk size is no hex number", "ok"},
        {"chunks cut short by the close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nok",
         "171: the connection closed before the end of the body", "ok"},
        {"a length cut short by the close", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc",
         "171: the connection closed before the end of the body", "abc"},
        {"a failure status keeps its code", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone",
         "151: 404 Not Found", "gone"},
    };
    for (const Case &c : cases) {
        qctest::LoopbackPeer peer;
        peer.readRequest().send(c.answer).closeConnection();
        ASSERT_TRUE(peer.start());
        KeptClient kept;
        EXPECT_EQ(kept.get(peer.url()), c.outcome) << c.name;
        EXPECT_EQ(kept.log.body, c.body) << c.name;
    }
}

TEST(KeptConnections, AnswersThatEndTheConnectionAreHonoured)
{
    struct Case
    {
        const char *name;
        QByteArray answer;
    };
    const Case cases[] = {
        {"Connection: close", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok"},
        {"HTTP/1.0 without keep-alive", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"},
        {"bytes past the body", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokEXTRA"},
    };
    for (const Case &c : cases) {
        // The peer never closes: only a client that ends the connection itself gets a second one.
        qctest::LoopbackPeer peer;
        peer.readRequest().send(c.answer).holdOpen();
        ASSERT_TRUE(peer.start(2));
        KeptClient kept;
        EXPECT_EQ(kept.get(peer.url("/a")), "") << c.name;
        EXPECT_TRUE(kept.log.lines.contains("disconnected 0 OK")) << c.name;
        EXPECT_EQ(kept.get(peer.url("/b")), "") << c.name;
        EXPECT_EQ(peer.request(1), requestFor("GET", "/b", peer.port())) << c.name;
    }
}

TEST(KeptConnections, AConnectionTheServerClosedIsReplacedOnceForGetAndHead)
{
    struct Case
    {
        const char *name;
        THTTPActions action;
        const char *method;
        QByteArray outcome;
        QByteArray statusLine;
        bool replaced;
    };
    const Case cases[] = {
        {"GET goes again", httpGet, "GET", "", "HTTP/1.1 200 OK", true},
        {"HEAD goes again", httpHead, "HEAD", "", "HTTP/1.1 200 OK", true},
        {"POST does not: the server may have acted on it", httpPost, "POST", "", "", false},
    };
    for (const Case &c : cases) {
        // Each connection: one answer, then the next request is read and the connection closed unanswered.
        qctest::LoopbackPeer peer;
        peer.readRequest().send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok").readRequest().closeConnection();
        ASSERT_TRUE(peer.start(2));
        KeptClient kept;
        EXPECT_EQ(kept.get(peer.url("/a")), "") << c.name;
        kept.log.lines.clear();
        EXPECT_EQ(kept.get(peer.url("/b"), c.action), c.outcome) << c.name;
        EXPECT_EQ(kept.client.StatusLine(), c.statusLine) << c.name;
        const QByteArray second = requestFor(c.method, "/b", peer.port(), c.action == httpPost ? "" : QByteArray());
        EXPECT_EQ(peer.request(0), requestFor("GET", "/a", peer.port()) + second) << c.name;
        EXPECT_EQ(peer.request(1), c.replaced ? second : QByteArray()) << c.name;
        // The dead connection's end is not told; a request that is not repeated reports it.
        EXPECT_EQ(kept.log.lines.contains("disconnected 0 OK"), !c.replaced) << c.name;
    }
}

TEST(KeptConnections, BlankLinesBeforeAStatusLineArePassedOverAFewTimes)
{
    const QByteArray blanks = QByteArray("\r\n").repeated(HttpResponseParser::maxBlankLinesBeforeStatus);
    struct Case
    {
        const char *name;
        QByteArray second; // the answer to the request on the kept connection
        QByteArray outcome;
        QByteArray statusLine;
    };
    const Case cases[] = {
        {"a stray line end", "\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo", "", "HTTP/1.1 200 OK"},
        {"as many as are passed over", blanks + "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo", "",
         "HTTP/1.1 200 OK"},
        // One more is taken for the status line: an endless stream of them still ends.
        {"one too many", blanks + "\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo", "151: ", ""},
    };
    for (const Case &c : cases) {
        qctest::LoopbackPeer peer;
        peer.readRequest()
            .send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none")
            .readRequest()
            .send(c.second)
            .closeConnection();
        ASSERT_TRUE(peer.start(1));
        KeptClient kept;
        EXPECT_EQ(kept.get(peer.url("/a")), "") << c.name;
        EXPECT_EQ(kept.get(peer.url("/b")), c.outcome) << c.name;
        EXPECT_EQ(kept.client.StatusLine(), c.statusLine) << c.name;
        EXPECT_EQ(peer.request(0), requestFor("GET", "/a", peer.port()) + requestFor("GET", "/b", peer.port()))
            << c.name << ": both over the kept connection";
    }
}

} // namespace
