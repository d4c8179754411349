// The URL commands of the window: add, import, replace from the URL list, enable all.

#include "project/urltable.h"
#include "support/gui/windowfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qctest::WindowTest;

namespace {

class Urls : public WindowTest
{
protected:
    void SetUp() override
    {
        start();
        newProject();
        window().SaveProjectClick();
    }
    QString count() { return find<QLineEdit>("URLCountEdit")->text(); }
    QStringList urls()
    {
        QStringList result;
        for (qint64 id : window().urlTable().rowIds())
            result << window().urlTable().url(id);
        return result;
    }
};

TEST_F(Urls, AddStoresTheTextAsTypedAndCountsIt)
{
    auto *box = find<QLineEdit>("SettingsURLAddEdit");
    box->setText(" http://a.example/ ");
    find<QPushButton>("SettingsURLAddBitBtn")->click();
    box->setText(" http://a.example/ ");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(urls(), QStringList({" http://a.example/ ", " http://a.example/ "}));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(box->text(), QString());
    EXPECT_TRUE(window().Modified);
    const qint64 row = window().urlTable().rowIds().first();
    for (int column = 1; column <= 30; ++column)
        EXPECT_EQ(window().urlTable().flag(row, "E" + QString::number(column)), std::optional<bool>(true));

    QTest::keyClick(box, Qt::Key_Return); // empty: nothing
    EXPECT_EQ(count(), QStringLiteral("2"));
}

TEST_F(Urls, AUrlHoldingAQuoteIsStoredLikeAnyOther)
{
    find<QLineEdit>("SettingsURLAddEdit")->setText("http://o'brien.example/?q='x'");
    window().AddURL();
    EXPECT_EQ(urls(), QStringList({"http://o'brien.example/?q='x'"}));
    window().urlTable().setFlag("E3", 1, "http://o'brien.example/?q='x'", false);
    EXPECT_EQ(window().urlTable().flag(window().urlTable().rowIds().first(), "E3"), std::optional<bool>(false));
}

TEST_F(Urls, ImportTakesPiecesAndLeavesFlagsBlank)
{
    qctest::writeFile(base.file("list.txt"), "a\n\nbc\r\n" + QByteArray(2000, 'x') + "\nd");
    platform.fileAnswers.enqueue(base.file("list.txt"));
    find<QAction>("Importfromfile")->trigger();
    const auto dialog = platform.ofKind("open").last().fileDialog;
    EXPECT_EQ(dialog.objectName, QStringLiteral("DataOpenDialog"));
    EXPECT_EQ(dialog.title, QStringLiteral("Import data from a text file"));
    EXPECT_EQ(dialog.filter, QStringLiteral("Text file (*.txt)|*.txt"));
    EXPECT_EQ(dialog.defaultSuffix, QStringLiteral("txt"));
    const QStringList stored = urls();
    ASSERT_EQ(stored.size(), 4);
    EXPECT_EQ(stored[0], QStringLiteral("a"));
    EXPECT_EQ(stored[1], QStringLiteral("bc"));
    EXPECT_EQ(stored[2], QString(255, 'x'));
    EXPECT_EQ(stored[3], QString(255, 'x'));
    EXPECT_EQ(count(), QStringLiteral("4"));
    EXPECT_EQ(window().urlTable().flag(window().urlTable().rowIds().first(), "E1"), std::optional<bool>(false));
}

TEST_F(Urls, EnableAllTouchesOnlyThisProject)
{
    window().urlTable().importFile(1, [this] {
        qctest::writeFile(base.file("l.txt"), "one\ntwo\n");
        return base.file("l.txt");
    }());
    window().urlTable().importFile(2, base.file("l.txt"));
    window().SaveProjectClick();
    find<QPushButton>("EnableAllURLsBitBtn")->click();
    EXPECT_FALSE(window().Modified);
    for (qint64 row : window().urlTable().rowIds())
        EXPECT_EQ(window().urlTable().flag(row, "E30"), std::optional<bool>(true));
    window().urlTable().setFilter(2);
    for (qint64 row : window().urlTable().rowIds())
        EXPECT_EQ(window().urlTable().flag(row, "E30"), std::optional<bool>(false));
}

class UrlList : public WindowTest
{
};

TEST_F(UrlList, ReplacingFromAMissingFileHasAlreadyDeletedTheRows)
{
    qctest::writeFile(base.file("site.qlc"), "[Setup]\r\nProject ID=4\r\n");
    {
        start();
        window().urlTable().addUrl(4, "http://old.example/");
    }
    start({"/load", "site.qlc", "/urllist", "nothing.txt"});
    window().FormActivate();
    EXPECT_EQ(window().ProjectId, 4);
    ASSERT_FALSE(platform.ofKind("message").isEmpty());
    EXPECT_EQ(platform.ofKind("message").last().caption, QStringLiteral("URL List not found"));
    EXPECT_EQ(platform.ofKind("message").last().text, QStringLiteral("nothing.txt"));
    EXPECT_EQ(platform.ofKind("message").last().icon, Platform::Icon::Stop);
    EXPECT_EQ(window().urlTable().rowCount(), 0);
}

TEST_F(UrlList, ReplacedUrlsAreEnabledForEveryEngine)
{
    qctest::writeFile(base.file("site.qlc"), "[Setup]\r\nProject ID=4\r\n");
    qctest::writeFile(base.file("urls.txt"), "http://a.example/\nhttp://b.example/\n");
    start({"/load", "site.qlc", "/urllist", "urls.txt"});
    window().FormActivate();
    EXPECT_TRUE(platform.ofKind("message").isEmpty());
    ASSERT_EQ(window().urlTable().rowCount(), 2);
    EXPECT_EQ(window().urlTable().flag(window().urlTable().rowIds().last(), "E17"), std::optional<bool>(true));
    EXPECT_FALSE(window().Modified);
}

TEST_F(UrlList, LoadingANameThatIsNoProjectReportsIt)
{
    start({"/load"});
    window().FormActivate();
    ASSERT_FALSE(platform.ofKind("message").isEmpty());
    EXPECT_EQ(platform.ofKind("message").last().caption, QStringLiteral("Cannot open project"));
    EXPECT_EQ(platform.ofKind("message").last().text, base.path() + "/");
    EXPECT_EQ(window().ProjectId, 0);
    // Later activations do not repeat the start-up actions, and Open asks again.
    window().FormActivate();
    EXPECT_EQ(platform.ofKind("message").size(), 1);
    window().OpenProjectClick();
    EXPECT_EQ(platform.ofKind("open").size(), 1);
}

} // namespace
