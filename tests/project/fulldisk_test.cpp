// A disk that takes no more: every write failure names the file and the
// system's reason. The limit is the size limit of a child process, so the
// test's own files are never at risk.

#include "project/session/profilefile.h"
#include "project/store/pagestate.h"
#include "project/store/urltable.h"
#include "support/tempdir.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr rlim_t SizeLimit = 256 * 1024;

// Runs work in a child process whose files cannot grow past SizeLimit; returns
// the text work gave back ("" when it threw nothing).
QString inLimitedChild(const std::function<QString()> &work)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        // A write past the limit fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{SizeLimit, SizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const QByteArray text = work().toUtf8();
        [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], text.constData(), size_t(text.size()));
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, got);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return QString::fromUtf8(text);
}

QStringList manyUrls()
{
    QStringList urls;
    for (int i = 0; i < 4000; ++i)
        urls << QStringLiteral("http://site.example/a-rather-long-path/for-page-number-%1.html").arg(i);
    return urls;
}

TEST(FullDisk, EveryWriteTellsTheFileAndTheSystemsReason)
{
    QTemporaryDir dir;
    const QString table = QDir(dir.path()).filePath("urls2.db");
    const QString profile = QDir(dir.path()).filePath("site.qlc");
    const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
    const struct
    {
        const char *name;
        std::function<void()> write;
        QString file;
    } cases[] = {
        {"the URL table's rows", [&] { UrlTable(dir.path()).replaceProjectUrls(1, manyUrls()); }, table},
        {"a side table of urls2.db",
         [&] {
             UrlTable urls(dir.path());
             QHash<QString, QByteArray> fingerprints;
             for (const QString &url : manyUrls())
                 fingerprints.insert(url, QByteArray(32, 'f'));
             PageState(urls).setAccepted(1, QStringLiteral("Alpha"), fingerprints);
         },
         table},
        {"a profile file",
         [&] {
             ProfileFile file(profile);
             for (int key = 0; key < 200; ++key)
                 file.writeString(QStringLiteral("Emails"), QStringLiteral("Email%1").arg(key), QString(2000, 'x'));
         },
         profile},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString told = inLimitedChild([&]() -> QString {
            try {
                c.write();
            } catch (const std::exception &failure) {
                return QString::fromUtf8(failure.what());
            }
            return {};
        });
        EXPECT_EQ(told.toStdString(), ("Unable to write to " + c.file + ": " + tooLarge).toStdString());
        QFile::remove(table);
        QFile::remove(table + "-wal");
        QFile::remove(table + "-shm");
    }
}

} // namespace
