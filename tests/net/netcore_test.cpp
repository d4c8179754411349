#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <netdb.h>

#include "net/netcore.h"
#include "net/socketerrors.h"

namespace {

TEST(SocketErrorText, TableTextsAndUnknownCodes)
{
    EXPECT_EQ(SocketErrorText(10061), "[10061] Connection refused");
    EXPECT_EQ(SocketErrorText(10004), "[10004] Interrupted system call");
    EXPECT_EQ(SocketErrorText(10066), "[10066] Directory not empt");
    EXPECT_EQ(SocketErrorText(11004), "[11004] Valid name, no data record (check DNS setup)");
    EXPECT_EQ(SocketErrorText(10005), "[10005] (no description available)");
    EXPECT_EQ(SocketErrorText(0), "[0] (no description available)");
    int described = 0;
    for (int code = 10000; code <= 11010; ++code)
        described += SocketErrorText(code).contains("(no description available)") ? 0 : 1;
    EXPECT_EQ(described, 50);
}

TEST(SocketErrorText, PlatformErrorsMapOntoTheTable)
{
    struct Case
    {
        int err;
        int code;
    };
    const Case errnos[] = {{ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {ETIMEDOUT, 10060}, {EHOSTUNREACH, 10065},
                           {ENETUNREACH, 10051},  {EADDRINUSE, 10048}, {EAGAIN, 10035},    {EINPROGRESS, 10036},
                           {EBADF, 10009},        {EINVAL, 10022},     {EACCES, 10013},    {EMFILE, 10024},
                           {ENOTSOCK, 10038},     {EPIPE, 10058},      {ENODATA, 10000}};
    for (const Case &c : errnos)
        EXPECT_EQ(int(net::socketErrorFromErrno(c.err)), c.code) << "errno " << c.err;
    EXPECT_EQ(int(net::lookupErrorFromGai(EAI_NONAME, 0)), 11001);
    EXPECT_EQ(int(net::lookupErrorFromGai(EAI_AGAIN, 0)), 11002);
    EXPECT_EQ(int(net::lookupErrorFromGai(EAI_FAIL, 0)), 11003);
    EXPECT_EQ(int(net::lookupErrorFromGai(EAI_NODATA, 0)), 11004);
    EXPECT_EQ(int(net::lookupErrorFromGai(EAI_SYSTEM, ECONNREFUSED)), 10061);
}

TEST(NetCoreException, TextIsCodeColonMessage)
{
    struct Case
    {
        ENetCore failure;
        const char *text;
    };
    const Case cases[] = {
        {ENetCore(net::Error::HostNotFound), "11001: [11001] Host not found"},
        {ENetCore(net::Error::NoServer), "152: No server specified in URL"},
        {ENetCore(net::Error::StatusFailed, ""), "151: "},
        {ENetCore(net::Error::StatusFailed, "404 Not Found"), "151: 404 Not Found"},
        {ENetCore(net::Error::Interrupted), "301: Interrupted."},
        {ENetCore(net::Error::OutOfMemory), "200: Out of memory."},
        {ENetCore(net::Error::SocketUnmapped), "10000: [10000] (no description available)"},
        {ENetCore(static_cast<net::Error>(12345)), "12345: [12345] (no description available)"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(c.failure.what(), c.text);
    EXPECT_EQ(ENetCore(net::Error::StatusFailed, "x").Code(), 151);
    EXPECT_EQ(ENetCore(net::Error::SocketConnectionRefused).Message(), "[10061] Connection refused");
    EXPECT_EQ(net::errorText(net::Error::LocalFileWriteFailed), "Error writing to LocalFile");
}

TEST(WaitLoop, EndsOnItsOwnWakeUpAndIgnoresStaleOnes)
{
    NetCore core;
    core.drainToWakeUp(); // returns: its wake-up was taken
    // A pass that takes no end request goes on.
    bool ticked = false;
    QTimer::singleShot(0, &core, [&] { ticked = true; });
    int passes = 0;
    while (!ticked && passes < 100) {
        EXPECT_TRUE(core.pumpOnce());
        ++passes;
    }
    EXPECT_TRUE(ticked);
}

TEST(WaitLoop, EventsQueuedBeforeTheWakeUpAreDispatchedFirst)
{
    NetCore core;
    QList<int> order;
    QTimer::singleShot(0, &core, [&] { order << 1; });
    QMetaObject::invokeMethod(
        &core, [&] { order << 2; }, Qt::QueuedConnection);
    core.drainToWakeUp();
    EXPECT_EQ(order, (QList<int>{1, 2}));
}

TEST(WaitLoop, QuitRequestEndsThePassAndIsPostedAgain)
{
    NetCore core;
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    int passes = 0;
    while (core.pumpOnce() && passes < 100)
        ++passes;
    EXPECT_LT(passes, 100);
    // Handed on for the loops further out; taken away here so later tests run on.
    NetCore outer;
    EXPECT_FALSE(outer.pumpOnce());
    QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::Quit);
}

TEST(WaitLoop, CloseRequestOnlyForWindows)
{
    QObject plain;
    QEvent close(QEvent::Close);
    QEvent other(QEvent::Show);
    EXPECT_FALSE(NetCore::isWindowCloseRequest(&plain, &close));
    EXPECT_FALSE(NetCore::isWindowCloseRequest(&plain, &other));
    EXPECT_FALSE(NetCore::isWindowCloseRequest(nullptr, &close));
}

} // namespace
