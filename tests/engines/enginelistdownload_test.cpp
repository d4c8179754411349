#include "engines/builtinlists.h"
#include "engines/enginelistdownload.h"
#include "engines/enginelistrefresh.h"
#include "net/httpclient.h"
#include "support/loopbackpeer.h"
#include "support/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QByteArray manualList = "[Webmaster]\r\nQC_Action=http://engine.example/add\r\n";

TEST(EngineListDownload, AListBehindARedirectReplacesTheLocalOneAndAFailureKeepsIt)
{
    qctest::LoopbackPeer list, moved, missing, loop, endless;
    list.readRequest().send("HTTP/1.0 200 OK\r\n\r\n" + manualList).closeConnection();
    ASSERT_TRUE(list.start());
    moved.readRequest().send("HTTP/1.0 301 Moved\r\nLocation: " + list.url("/new.txt") + "\r\n\r\n").closeConnection();
    missing.readRequest().send("HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>").closeConnection();
    loop.readRequest().send("HTTP/1.0 302 Found\r\nLocation: /manual.txt\r\n\r\n").closeConnection();
    endless.readRequest()
        .send("HTTP/1.0 200 OK\r\n\r\n" + manualList + QByteArray(MaxEngineListBytes, ';'))
        .closeConnection();
    for (qctest::LoopbackPeer *peer : {&moved, &missing, &loop, &endless})
        ASSERT_TRUE(peer->start());

    const struct
    {
        const char *behaviour;
        QByteArray url;
        ListDownload::Result result;
        QString reason;
    } cases[] = {
        {"an error page", missing.url("/manual.txt"), ListDownload::Result::Failed, "HTTP/1.0 404 Not Found"},
        {"a redirect to itself", loop.url("/manual.txt"), ListDownload::Result::Failed,
         "redirect loop at " + loop.url("/manual.txt")},
        {"a list past any list's size", endless.url("/manual.txt"), ListDownload::Result::Failed,
         "larger than 1048576 bytes"},
        {"a moved list", moved.url("/manual.txt"), ListDownload::Result::Replaced, ""},
    };
    qctest::ScopedBaseDir dir;
    const QString path = dir.file(QStringLiteral("engines.txt"));
    qctest::writeFile(path, "old");
    THTTPClient http;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const ListDownload download = DownloadEngineList(http, QString::fromLatin1(c.url), path, 5, false);
        EXPECT_EQ(download.result, c.result);
        EXPECT_EQ(download.reason, c.reason);
        EXPECT_EQ(qctest::readFile(path), download.replaced() ? manualList : QByteArray("old"));
        EXPECT_EQ(isDownloadedEngineList(path), download.replaced()) << "a list of the owner's is no download";
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".download")));
    }
    // Edited, the download becomes the owner's list.
    qctest::writeFile(path, manualList + "; mine\r\n");
    EXPECT_FALSE(isDownloadedEngineList(path));
}

TEST(EngineListRefresh, BuiltInListsAreWrittenOnlyWhereNoListCouldBeHad)
{
    const struct
    {
        const char *behaviour;
        bool automaticServed;
        bool builtInWritten;
        int problems;
    } cases[] = {
        {"nothing served into an empty directory", false, true, 2},
        {"the automatic list served, the manual one missing", true, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        qctest::LoopbackPeer automatic, manual;
        automatic.readRequest()
            .send(c.automaticServed ? "HTTP/1.0 200 OK\r\n\r\n" + BuiltInLists::automaticList()
                                    : QByteArray("HTTP/1.0 500 Broken\r\n\r\n"))
            .closeConnection();
        manual.readRequest().send("HTTP/1.0 404 Not Found\r\n\r\n").closeConnection();
        ASSERT_TRUE(automatic.start());
        ASSERT_TRUE(manual.start());
        qctest::ScopedBaseDir dir;
        const EngineListSources sources{QString::fromLatin1(automatic.url("/a.txt")), dir.file(QStringLiteral("a.txt")),
                                        QString::fromLatin1(manual.url("/m.txt")), dir.file(QStringLiteral("m.txt"))};
        THTTPClient http;
        const EngineListRefresh refresh = RefreshEngineLists(http, sources, 5);
        EXPECT_EQ(refresh.automatic.replaced(), c.automaticServed);
        EXPECT_EQ(refresh.anyReplaced(), c.automaticServed);
        EXPECT_EQ(refresh.builtInWritten, c.builtInWritten);
        EXPECT_EQ(refresh.problems(sources).size(), c.problems);
        EXPECT_EQ(refresh.problems(sources).last(), sources.manualUrl + QStringLiteral(": HTTP/1.0 404 Not Found"));
        // Either way the directory ends with both lists.
        EXPECT_EQ(qctest::readFile(sources.automaticPath), BuiltInLists::automaticList());
        EXPECT_EQ(qctest::readFile(sources.manualPath), BuiltInLists::manualList());
    }
}

} // namespace
