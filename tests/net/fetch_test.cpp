#include <gtest/gtest.h>

#include "net/fetch.h"
#include "net/httpclient.h"
#include "netwire_support.h"
#include "support/loopbacklisten.h"
#include "support/loopbackpeer.h"

#include <memory>
#include <ostream>

using net::FetchRequest;
using net::FetchResult;
using net::RedirectChain;

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

TEST(RedirectChain, LocationsResolveAndRefusalsNameTheStep)
{
    const struct
    {
        const char *behaviour;
        QByteArray from;
        QByteArray location;
        QByteArray next; // when taken
        QString refusal; // when refused
    } cases[] = {
        {"a relative path", "http://h/a/b?q=1", "c", "http://h/a/c", ""},
        {"dot segments", "http://h/a/b/c", "../x", "http://h/a/x", ""},
        {"an absolute path keeps host and port", "http://h:81/a", "/new?x=1", "http://h:81/new?x=1", ""},
        {"a network path", "https://h/a", "//other.example/x", "https://other.example/x", ""},
        {"up from http to https", "http://h/", "https://h/", "https://h/", ""},
        {"a fragment is dropped", "http://h/", "/b#part", "http://h/b", ""},
        {"a blank is encoded", "http://h/", "/a b", "http://h/a%20b", ""},
        {"down from https to http", "https://h/", "http://h/", "", "refused redirect from https to http: http://h/"},
        {"back to the start", "http://h/a", "/a", "", "redirect loop at http://h/a"},
        {"back to the start spelled otherwise", "http://h/a", "HTTP://H:80/b/../a#x", "",
         "redirect loop at http://h:80/a"},
        {"another scheme", "http://h/", "ftp://h/f", "", "refused redirect to another scheme: ftp://h/f"},
        {"an empty location", "http://h/", " ", "", "unusable redirect location:  "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        RedirectChain chain(c.from);
        EXPECT_EQ(chain.follow(c.location), c.refusal);
        EXPECT_EQ(chain.current(), c.next.isEmpty() ? c.from : c.next);
        EXPECT_EQ(chain.taken().size(), c.next.isEmpty() ? 0 : 1);
    }

    RedirectChain chain("http://h/0");
    for (int step = 1; step <= 5; ++step)
        ASSERT_EQ(chain.follow("/" + QByteArray::number(step)), QString());
    EXPECT_EQ(chain.follow("/6"), "too many redirects (more than 5)");
    EXPECT_EQ(chain.current(), "http://h/5");
}

QByteArray redirect(int code, const QByteArray &location)
{
    return "HTTP/1.0 " + QByteArray::number(code) + " Moved\r\nLocation: " + location + "\r\n\r\nmoved";
}

FetchResult fetch(THTTPClient &http, FetchRequest request)
{
    nettest::Watchdog watchdog(http);
    request.keepBody = true;
    return net::Fetch(http, request);
}

TEST(Fetch, EachRedirectStatusIsFollowedWithTheMethodItCalls)
{
    const struct
    {
        int code;
        QByteArray method;     // of the first request, with a body
        QByteArray nextMethod; // what the second request uses
    } cases[] = {{301, "POST", "GET"},  {302, "POST", "GET"}, {303, "POST", "GET"}, {307, "POST", "POST"},
                 {308, "POST", "POST"}, {301, "PUT", "GET"},  {303, "PUT", "GET"},  {307, "PUT", "PUT"}};
    for (const auto &c : cases) {
        SCOPED_TRACE((c.method + ' ' + QByteArray::number(c.code)).toStdString());
        qctest::LoopbackPeer target;
        target.readRequest().send("HTTP/1.0 200 OK\r\n\r\nfinal").closeConnection();
        ASSERT_TRUE(target.start());
        qctest::LoopbackPeer first;
        first.readRequest().send(redirect(c.code, target.url("/there"))).closeConnection();
        ASSERT_TRUE(first.start());

        THTTPClient http;
        FetchRequest request;
        request.url = first.url("/here");
        request.method = c.method;
        request.postData = "a=1";
        QList<QByteArray> events; // what the fetch passes on of the client's events
        request.onHeader = [&events](const QByteArray &field, const QByteArray &value) {
            events << field + ": " + value;
        };
        request.onBodyStart = [&events] { events << "body"; };
        request.onRequest = [&events] { events << "request"; };
        const FetchResult result = fetch(http, request);
        EXPECT_EQ(events,
                  QList<QByteArray>({"request", "Location: " + target.url("/there"), "body", "request", "body"}));
        EXPECT_TRUE(result.ok()) << qPrintable(result.text);
        EXPECT_EQ(result.finalUrl, target.url("/there"));
        EXPECT_EQ(result.redirects, QList<QByteArray>{target.url("/there")});
        EXPECT_EQ(result.statusLine, "HTTP/1.0 200 OK");
        EXPECT_EQ(result.body, "final");
        EXPECT_TRUE(first.request().startsWith(c.method + " /here HTTP/1.0\r\n"));
        EXPECT_TRUE(first.request().endsWith("Content-Length: 3\r\n\r\na=1"));
        EXPECT_TRUE(target.request().startsWith(c.nextMethod + " /there HTTP/1.0\r\n"));
        EXPECT_EQ(target.request().endsWith("a=1"), c.nextMethod != "GET");
    }
}

QList<QString> g_logged;

TEST(Fetch, HeaderLinesStayOnTheFirstHostAndTakeThePlaceOfTheClientsOwn)
{
    // 127.0.0.1 on another port is the same host; "localhost" is another.
    qctest::LoopbackPeer first, samehost, otherhost;
    otherhost.readRequest().send("HTTP/1.0 200 OK\r\n\r\n").closeConnection();
    ASSERT_TRUE(otherhost.start());
    const QByteArray elsewhere = "http://localhost:" + QByteArray::number(otherhost.port()) + "/c?token=q1";
    samehost.readRequest().send(redirect(307, elsewhere)).closeConnection();
    ASSERT_TRUE(samehost.start());
    first.readRequest().send(redirect(307, samehost.url("/b"))).closeConnection();
    ASSERT_TRUE(first.start());

    THTTPClient http;
    http.setUser("u");
    http.setPassword("p");
    http.setAccept("text/html");
    http.setOtherHeaders("X-Own: o\r\nX-Extra: old\r\n");
    const QByteArray basic = http.Authorization();
    FetchRequest request;
    request.url = first.url("/a?key=q0");
    request.headers = "Authorization: Bearer s3cret\r\nAccept: application/json\r\nX-Extra: 1\r\n";
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { g_logged.append(text); });
    const FetchResult result = fetch(http, request);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(result.ok()) << qPrintable(result.text);

    const auto onFirstHost = [](const QByteArray &line, const qctest::LoopbackPeer &peer) {
        return line + " HTTP/1.0\r\nHost: 127.0.0.1:" + QByteArray::number(peer.port()) +
               "\r\nAuthorization: Bearer s3cret\r\nAccept: application/json\r\nUser-Agent: "
               "Quillcast-HTTP/2.05\r\nX-Own: o\r\nX-Extra: 1\r\n\r\n";
    };
    EXPECT_EQ(first.request(), onFirstHost("GET /a?key=q0", first));
    EXPECT_EQ(samehost.request(), onFirstHost("GET /b", samehost));
    EXPECT_EQ(otherhost.request(),
              "GET /c?token=q1 HTTP/1.0\r\nHost: localhost:" + QByteArray::number(otherhost.port()) +
                  "\r\nAccept: text/html\r\nUser-Agent: Quillcast-HTTP/2.05\r\nX-Own: "
                  "o\r\nX-Extra: old\r\n\r\n");
    EXPECT_EQ(http.Authorization(), basic);
    EXPECT_EQ(http.Accept(), "text/html");
    EXPECT_EQ(http.OtherHeaders(), "X-Own: o\r\nX-Extra: old\r\n");
    for (const QString &line : g_logged)
        EXPECT_FALSE(line.contains("s3cret") || line.contains("q0") || line.contains("q1")) << qPrintable(line);
}

TEST(Fetch, AHeaderLineThatCouldSplitTheRequestIsRefusedBeforeSending)
{
    const QByteArray cases[] = {"X-A: 1\nX-B: 2", "X-A: 1\r\n\r\nX-B: 2", "X-A: a\x01b",
                                "No colon",       "Bad Name: 1",          ": empty name",
                                "Host: evil",     "content-length: 5",    QByteArray("X\0A: 1", 6)};
    for (const QByteArray &headers : cases) {
        SCOPED_TRACE(headers.toStdString());
        qctest::LoopbackPeer peer;
        peer.readRequest().send("HTTP/1.0 200 OK\r\n\r\n").closeConnection();
        ASSERT_TRUE(peer.start());
        THTTPClient http;
        FetchRequest request;
        request.url = peer.url("/");
        request.headers = headers;
        const FetchResult result = fetch(http, request);
        EXPECT_EQ(result.outcome, FetchResult::Outcome::Failed);
        EXPECT_EQ(result.error, net::Error::UnsafeHeader);
        EXPECT_EQ(result.text, "155: Request header contains a line break or control character");
        EXPECT_EQ(peer.served(), 0);
    }
}

TEST(Fetch, AFailureNamesWhatHappened)
{
    qctest::LoopbackPeer bounce; // every answer sends the client one folder deeper
    bounce.readRequest().send(redirect(302, "a/")).closeConnection();
    ASSERT_TRUE(bounce.start(6));
    qctest::LoopbackPeer loop; // "/a" leads to "/b", and "/b" to itself
    loop.readRequest().send(redirect(301, "/b")).closeConnection();
    ASSERT_TRUE(loop.start(2));
    qctest::LoopbackPeer bare, missing, silent, slow;
    bare.readRequest().send("HTTP/1.0 302 Found\r\n\r\n").closeConnection();
    missing.readRequest().send("HTTP/1.1 404 Not Found\r\nLocation: /elsewhere\r\n\r\n").closeConnection();
    silent.readRequest().holdOpen();
    slow.readRequest().send("HTTP/1.0 200 OK\r\n\r\npart").holdOpen();
    for (qctest::LoopbackPeer *peer : {&bare, &missing, &silent, &slow})
        ASSERT_TRUE(peer->start());
    quint16 closedPort = 0;
    ::close(qctest::listenOnLoopback(&closedPort));

    const struct
    {
        const char *behaviour;
        QByteArray url;
        FetchResult::Outcome outcome;
        QString text;
        int redirects;
    } cases[] = {
        {"six relative redirects", bounce.url("/"), FetchResult::Outcome::RedirectRefused,
         "too many redirects (more than 5)", 5},
        {"a loop", loop.url("/a"), FetchResult::Outcome::RedirectRefused, "redirect loop at " + loop.url("/b"), 1},
        {"a redirect without a Location", bare.url("/"), FetchResult::Outcome::HttpStatus,
         "HTTP/1.0 302 Found (a redirect without a Location)", 0},
        {"an error status, Location or not", missing.url("/"), FetchResult::Outcome::HttpStatus,
         "HTTP/1.1 404 Not Found", 0},
        {"a refused connection", "http://127.0.0.1:" + QByteArray::number(closedPort) + "/",
         FetchResult::Outcome::Failed, "10061: [10061] Connection refused", 0},
        {"a server that never answers", silent.url("/"), FetchResult::Outcome::TimedOut, "no answer within 1 s", 0},
        {"a server that never finishes", slow.url("/"), FetchResult::Outcome::TimedOut, "no complete answer within 1 s",
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        THTTPClient http;
        FetchRequest request;
        request.url = c.url;
        request.timeoutSeconds = 1;
        const FetchResult result = fetch(http, request);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.text, c.text);
        EXPECT_EQ(result.message, result.error ? c.text.mid(c.text.indexOf(": ") + 2) : QString());
        EXPECT_EQ(result.redirects.size(), c.redirects);
    }
    EXPECT_EQ(bounce.served(), 6);
    EXPECT_TRUE(bounce.request(5).startsWith("GET /a/a/a/a/a/ HTTP/1.0\r\n"));
}

TEST(Fetch, TheCallerEndsItAndFindsTheClientAsItWas)
{
    qctest::LoopbackPeer silent, large;
    silent.readRequest().holdOpen();
    large.readRequest().send("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(5000, 'x')).holdOpen();
    ASSERT_TRUE(silent.start());
    ASSERT_TRUE(large.start(2));

    THTTPClient http;
    http.setURL("http://before.example/x");
    http.setLocalFile(QStringLiteral("kept.txt"));
    int headers = 0;
    http.OnHeader = [&headers](QObject *, const QByteArray &, const QByteArray &) { ++headers; };

    FetchRequest request;
    request.url = silent.url("/");
    request.stopRequested = [&silent] { return !silent.request().isEmpty(); };
    FetchResult result = fetch(http, request);
    EXPECT_EQ(result.outcome, FetchResult::Outcome::Stopped);
    EXPECT_EQ(result.text, "stopped");

    // A caller that interrupts the client itself learns only that it was interrupted.
    qctest::LoopbackPeer held;
    held.readRequest().holdOpen();
    ASSERT_TRUE(held.start());
    http.OnConnected = [&http](QObject *, int, const QString &) { http.setAction(httpIdle); };
    request = {};
    request.url = held.url("/");
    request.callerInterrupts = true;
    result = fetch(http, request);
    http.OnConnected = nullptr;
    EXPECT_EQ(result.outcome, FetchResult::Outcome::Failed);
    EXPECT_EQ(result.error, net::Error::Interrupted);

    request = {};
    request.url = large.url("/");
    request.maxBytes = 100;
    result = fetch(http, request);
    EXPECT_EQ(result.outcome, FetchResult::Outcome::TooLarge);
    EXPECT_EQ(result.text, "larger than 100 bytes");
    request.cutAtLimit = true;
    result = fetch(http, request);
    EXPECT_TRUE(result.ok()) << qPrintable(result.text);
    EXPECT_TRUE(result.cut);
    EXPECT_EQ(result.body, QByteArray(100, 'x'));

    EXPECT_EQ(http.URL(), "http://before.example/x");
    EXPECT_EQ(http.URLServer(), "before.example");
    EXPECT_EQ(http.LocalFile(), QStringLiteral("kept.txt"));
    ASSERT_TRUE(http.OnHeader);
    http.OnHeader(nullptr, "", "");
    EXPECT_EQ(headers, 1);
}

} // namespace
