#include "project/session/profilefile.h"
#include "project/session/projectsession.h"
#include "project/store/urltable.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(ProjectSession, NewProjectsTakeTheNextIdAndDeletingOneLeavesTheOthersWhole)
{
    qctest::ScopedBaseDir base;
    ProjectSession session(base.path());
    qctest::writeFile(base.file("Quillcast.ini"), "[Projects]\r\nProject Counter=6\r\n");
    // A file chosen to be overwritten gives its settings; its ID is replaced.
    qctest::writeFile(base.file("a.qlc"), "[Setup]\r\nProject ID=2\r\n[Info]\r\nFirst Name=Ann\r\n");
    EXPECT_EQ(session.create(QStringLiteral("a.qlc"), {}), 7);
    EXPECT_EQ(session.create(base.file("b.qlc"), {}), 8);
    EXPECT_EQ(ProfileFile(base.file("Quillcast.ini")).readInteger("Projects", "Project Counter", 0), 8);
    EXPECT_TRUE(QDir(base.file("Projects/8")).exists());

    ASSERT_TRUE(session.open(QStringLiteral("a.qlc")));
    EXPECT_EQ(session.id(), 7);
    EXPECT_EQ(session.settings().firstName, "Ann");
    EXPECT_EQ(session.reportPath(), base.file("Projects/7/StatusLog.htm"));
    qctest::writeFile(base.file("Projects/7/PR_1.htm"), "answer");
    UrlTable &table = session.openTable();
    table.addUrl(7, QStringLiteral("http://a.example/"));
    table.addUrl(8, QStringLiteral("http://b.example/"));

    EXPECT_TRUE(session.remove());
    EXPECT_FALSE(session.hasFile());
    EXPECT_FALSE(QFile::exists(base.file("a.qlc")));
    EXPECT_FALSE(QDir(base.file("Projects/7")).exists());
    table.clearFilter();
    EXPECT_EQ(table.rowCount(), 1) << "the other project's URL stays";
    EXPECT_TRUE(QDir(base.file("Projects/8")).exists());
}

TEST(ProjectSession, KeyStepsSayWhyTheyCannotBeDone)
{
    struct Case
    {
        const char *name;
        QByteArray key;
        QString keyFileDir;
        QString makeError;  // what makeIndexNowKey() says
        QString writeError; // what writeIndexNowKeyFile() says afterwards
    };
    qctest::ScopedBaseDir base;
    const QString file = base.file("site.qlc");
    const QString rule = ProjectSettings::indexNowKeyRule();
    const Case cases[] = {
        {"made and written", "", "", "", ""},
        {"valid key kept", "abcdefgh12", "", "", ""},
        {"invalid key kept", "ab!", "",
         "The IndexNow key \"ab!\" of " + file +
             " is not valid, and is kept: correct "
             "it or remove it. " +
             rule,
         "The IndexNow key \"ab!\" of " + file + " is not valid. " + rule},
        {"no such directory", "abcdefgh12", "no/dir", "",
         "Cannot write " + base.file("no/dir/abcdefgh12.txt") + ": No such file or directory"},
    };
    for (const Case &c : cases) {
        qctest::writeFile(file, "[Setup]\r\nProject ID=1\r\n[IndexNow]\r\nKey=" + c.key + "\r\n");
        ProjectSession session(base.path());
        session.open(file);
        EXPECT_EQ(session.makeIndexNowKey(), c.makeError) << c.name;
        const QString key = session.settings().indexNowKey;
        EXPECT_EQ(ProjectSettings::load(file).indexNowKey, key) << c.name << ": the file holds the key";
        EXPECT_EQ(session.writeIndexNowKeyFile(c.keyFileDir), c.writeError) << c.name;
        if (c.writeError.isEmpty()) {
            EXPECT_EQ(qctest::readFile(base.file(key + ".txt")), key.toLatin1()) << c.name;
        }
    }
}

} // namespace
