#include "project/store/urltable.h"
#include "project/store/urltablemodel.h"
#include "project/ui/urlnavigator.h"
#include "support/gui/scriptedplatform.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class UrlNavigatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *url : {"http://one.example/", "http://two.example/", "http://three.example/"})
            table.addUrl(1, QString::fromLatin1(url));
        table.addUrl(2, QStringLiteral("http://other.example/"));
        table.setFilter(1);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(navigator);
        layout->addWidget(grid);
        window.show();
        grid->setCurrentIndex(model.index(0, 0));
    }

    // Fails loudly when the navigator has no such button.
    QToolButton *button(const char *name)
    {
        auto *found = navigator->findChild<QToolButton *>(QStringLiteral("URLDBNavigator") + QLatin1String(name));
        if (!found)
            throw std::runtime_error(std::string("no navigator button ") + name);
        return found;
    }

    void click(const char *name) { button(name)->click(); }

    QStringList storedUrls()
    {
        QStringList urls;
        for (qint64 id : table.rowIds())
            urls << table.url(id);
        return urls;
    }

    QLineEdit *openEditor() { return qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex())); }

    static bool waitFor(const std::function<bool()> &condition)
    {
        for (int i = 0; i < 200 && !condition(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return condition();
    }

    qctest::ScopedBaseDir dir;
    UrlTable table{dir.path()};
    UrlTableModel model{table};
    qctest::ScriptedPlatform platform;
    QWidget window;
    QTableView *grid = new QTableView(&window);
    URLDBNavigator *navigator = new URLDBNavigator(platform, grid, &model, &window);
};

TEST_F(UrlNavigatorTest, TenButtonsInOrderWithShortAndLongHints)
{
    const QStringList expected = {
        "First|First URL|Jump to first URL",
        "Prior|Previous URL|Go to previous URL",
        "Next|Next URL|Go to next URL",
        "Last|Last URL|Jump to last URL",
        "Insert|Add URL|Add a URL",
        "Delete|Delete URL|Delete the current URL",
        "Edit|Edit URL|Edit the current URL",
        "Post|Save URL|Save changes made to this URL",
        "Cancel|Cancel|Cancel",
        "Refresh|Refresh|Refresh the URL list",
    };
    QStringList actual;
    for (QToolButton *b : navigator->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly))
        actual << b->objectName().mid(14) + u'|' + b->toolTip() + u'|' + b->statusTip();
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(navigator->objectName(), QStringLiteral("URLDBNavigator"));
}

TEST_F(UrlNavigatorTest, NavigationButtonsMoveAndStopAtTheEnds)
{
    const struct
    {
        const char *button;
        int row;
    } steps[] = {{"Next", 1}, {"Last", 2}, {"Next", 2}, {"Prior", 1}, {"First", 0}, {"Prior", 0}};
    for (const auto &step : steps) {
        SCOPED_TRACE(step.button);
        click(step.button);
        EXPECT_EQ(grid->currentIndex().row(), step.row);
    }
    EXPECT_FALSE(button("First")->isEnabled());
    EXPECT_TRUE(button("Last")->isEnabled());
    EXPECT_FALSE(button("Post")->isEnabled());
}

TEST_F(UrlNavigatorTest, DeleteAsksFirstAndDeletesOnlyOnYes)
{
    QSignalSpy deleted(&model, &UrlTableModel::afterDelete);
    click("Next");
    platform.answers.enqueue(Platform::No);
    click("Delete");
    ASSERT_EQ(platform.ofKind("message").size(), 1);
    EXPECT_EQ(platform.ofKind("message").at(0).text, QStringLiteral("Delete record?"));
    EXPECT_EQ(platform.ofKind("message").at(0).buttons, Platform::Yes | Platform::No);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(deleted.count(), 0);

    platform.answers.enqueue(Platform::Yes);
    click("Delete");
    EXPECT_EQ(storedUrls(), (QStringList{"http://one.example/", "http://three.example/"}));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(grid->currentIndex().row(), 1);
}

TEST_F(UrlNavigatorTest, InsertedRowBelongsToTheOpenProject)
{
    QSignalSpy posted(&model, &UrlTableModel::afterPost);
    click("Insert");
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_TRUE(button("Post")->isEnabled());
    QLineEdit *editor = openEditor();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("http://typed.example/"));
    click("Post");

    EXPECT_EQ(posted.count(), 1);
    EXPECT_FALSE(button("Post")->isEnabled());
    EXPECT_EQ(model.rowCount(), 4);
    ASSERT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.url(table.rowIds().last()), QStringLiteral("http://typed.example/"));
    EXPECT_EQ(table.flag(table.rowIds().last(), QStringLiteral("E1")), std::optional<bool>(false));
    // The project's delete takes it along.
    table.deleteProject(1);
    table.clearFilter();
    EXPECT_EQ(storedUrls(), QStringList{"http://other.example/"});
}

TEST_F(UrlNavigatorTest, CancelDropsUnsavedChanges)
{
    click("Insert");
    ASSERT_NE(openEditor(), nullptr);
    openEditor()->setText(QStringLiteral("never stored"));
    click("Cancel");
    EXPECT_EQ(model.rowCount(), 3);

    click("Edit");
    ASSERT_NE(openEditor(), nullptr);
    openEditor()->setText(QStringLiteral("never stored either"));
    click("Cancel");
    EXPECT_EQ(model.data(model.index(0, 0)), QStringLiteral("http://one.example/"));
    EXPECT_EQ(storedUrls().size(), 3);
    EXPECT_FALSE(storedUrls().contains(QStringLiteral("never stored")));
}

TEST_F(UrlNavigatorTest, LeavingAnEditedRowPostsIt)
{
    QSignalSpy posted(&model, &UrlTableModel::afterPost);
    click("Edit");
    ASSERT_NE(openEditor(), nullptr);
    openEditor()->setText(QStringLiteral("http://edited.example/"));
    click("Next");
    ASSERT_TRUE(waitFor([&] { return posted.count() == 1; }));
    EXPECT_EQ(storedUrls().at(0), QStringLiteral("http://edited.example/"));
    EXPECT_EQ(grid->currentIndex().row(), 1);
}

} // namespace
