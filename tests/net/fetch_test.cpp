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
        QByteArray method; // what the second request uses after a POST
    } cases[] = {{301, "GET"}, {302, "GET"}, {303, "GET"}, {307, "POST"}, {308, "POST"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        qctest::LoopbackPeer target;
        target.readRequest().send("HTTP/1.0 200 OK\r\n\r\nfinal").closeConnection();
        ASSERT_TRUE(target.start());
        qctest::LoopbackPeer first;
        first.readRequest().send(redirect(c.code, target.url("/there"))).closeConnection();
        ASSERT_TRUE(first.start());

        THTTPClient http;
        FetchRequest request;
        request.url = first.url("/here");
        request.method = "POST";
        request.postData = "a=1";
        const FetchResult result = fetch(http, request);
        EXPECT_TRUE(result.ok()) << qPrintable(result.text);
        EXPECT_EQ(result.finalUrl, target.url("/there"));
        EXPECT_EQ(result.redirects, QList<QByteArray>{target.url("/there")});
        EXPECT_EQ(result.statusLine, "HTTP/1.0 200 OK");
        EXPECT_EQ(result.body, "final");
        EXPECT_TRUE(target.request().startsWith(c.method + " /there HTTP/1.0\r\n"));
        EXPECT_EQ(target.request().endsWith("a=1"), c.method == "POST");
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
