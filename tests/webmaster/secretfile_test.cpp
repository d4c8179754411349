#include <gtest/gtest.h>

#include "support/tempdir.h"
#include "webmaster/secretfile.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

using webmaster::readSecretFile;

namespace {

TEST(SecretFile, OnlyAPrivateRegularFileOfAKeysSizeIsRead)
{
    enum Kind { File, Directory, Missing };
    const struct
    {
        const char *behaviour;
        Kind kind;
        mode_t mode;
        QByteArray content;
        QString problem; // "" when read; else the message after the path
    } cases[] = {
        {"a private file is read whole", File, 0600, "key\n\x01\xFF", ""},
        {"a file its owner alone may only read", File, 0400, "key", ""},
        {"group-readable", File, 0640, "key",
         " may be read by others (permissions 0640): it is refused; make it private with \"chmod 600 %1\""},
        {"other-readable", File, 0604, "key",
         " may be read by others (permissions 0604): it is refused; make it private with \"chmod 600 %1\""},
        {"group-writable only", File, 0620, "key",
         " may be read by others (permissions 0620): it is refused; make it private with \"chmod 600 %1\""},
        {"missing", Missing, 0600, "", " cannot be read: No such file or directory"},
        {"a directory", Directory, 0700, "", " is not a regular file"},
        {"64 KiB is still a key", File, 0600, QByteArray(64 * 1024, 'k'), ""},
        {"one byte more is not", File, 0600, QByteArray(64 * 1024 + 1, 'k'),
         " is larger than 65536 bytes: it holds no key"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("key.txt"));
        if (c.kind == File) {
            qctest::writeFile(path, c.content);
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        } else if (c.kind == Directory) {
            ASSERT_TRUE(QDir().mkdir(path));
        }
        const webmaster::SecretFile read = readSecretFile(path, QStringLiteral("The test key file"));
        if (c.problem.isEmpty()) {
            EXPECT_TRUE(read.ok()) << read.problem.toStdString();
            EXPECT_EQ(read.content, c.content);
        } else {
            QString expected = QStringLiteral("The test key file ") + path + c.problem;
            expected.replace(QStringLiteral("%1"), path);
            EXPECT_EQ(read.problem, expected);
            EXPECT_TRUE(read.content.isEmpty());
        }
    }
    EXPECT_EQ(readSecretFile(QString(), QStringLiteral("The test key file")).problem,
              QStringLiteral("The test key file is not named"));
}

} // namespace
