#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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
         httpGet, "GET /path?q=1 HTTP/1.0\r\n\r\n"},
        {"GET with headers in their order",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setURL(url);
             c.setUserAgent("Quillcast");
             c.setReferer("http://r/");
             c.setAccept("text/html");
             c.setOtherHeaders("X-Extra: 1\r\n");
         },
         httpGet,
         "GET / HTTP/1.0\r\nAccept: text/html\r\nUser-Agent: Quillcast\r\nReferer: http://r/\r\nX-Extra: 1\r\n\r\n"},
        {"HEAD",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Q");
             c.setURL(url + "h");
         },
         httpHead, "HEAD /h HTTP/1.0\r\nUser-Agent: Q\r\n\r\n"},
        {"POST with empty PostData still sends the length",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Quillcast");
             c.setURL(url + "cgi-bin/add.cgi");
         },
         httpPost, "POST /cgi-bin/add.cgi HTTP/1.0\r\nUser-Agent: Quillcast\r\nContent-Length: 0\r\n\r\n"},
        {"POST form",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("Quillcast");
             c.setURL(url + "cgi-bin/add.cgi");
             c.setContentType("application/x-www-form-urlencoded");
             c.setPostData("a=1&b=2");
         },
         httpPost,
         "POST /cgi-bin/add.cgi HTTP/1.0\r\nUser-Agent: Quillcast\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n\r\na=1&b=2"},
        {"PUT",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("");
             c.setURL(url + "f");
             c.setPostData("xyz");
         },
         httpPut, "PUT /f HTTP/1.0\r\nContent-Length: 3\r\n\r\nxyz"},
        {"through a proxy the target is absolute and the scheme unchecked",
         [](THTTPClient &c, const QByteArray &, quint16 port) {
             c.setUserAgent("");
             c.setProxyServer("127.0.0.1");
             c.setProxyPort(port);
             c.setURL("HTTP://engine.example:8080/add?u=x");
         },
         httpGet, "GET HTTP://engine.example:8080/add?u=x HTTP/1.0\r\n\r\n"},
        {"Basic authorization",
         [](THTTPClient &c, const QByteArray &url, quint16) {
             c.setUserAgent("");
             c.setURL(url);
             c.setUser("user");
             c.setPassword("pass");
         },
         httpGet, "GET / HTTP/1.0\r\nAuthorization: Basic dXNlcjpwYXNz\r\n\r\n"},
    };
    for (const RequestCase &c : cases) {
        qctest::LoopbackPeer peer;
        peer.readRequest().send(okHead).closeConnection();
        ASSERT_TRUE(peer.start());
        THTTPClient client;
        c.setUp(client, peer.url(), peer.port());
        EXPECT_EQ(perform(client, c.action), "") << c.name;
        EXPECT_EQ(peer.request(), c.expected) << c.name;
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
    EXPECT_EQ(peer.request(), "POST /up HTTP/1.0\r\nContent-Length: 5005\r\n\r\nhead:" + attached);
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

TEST(ResponseHandling, ResetDuringTheBody)
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
    EXPECT_EQ(client.StatusLine(), "");
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

} // namespace
