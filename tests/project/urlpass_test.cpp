#include "project/store/urlgridrows.h"
#include "project/store/urlpass.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A pass must hand out, URL by URL, exactly what a read of the table at that
// moment would give, however the table changed since the pass began.
class UrlPassTest : public ::testing::Test
{
protected:
    UrlPassTest() : table(dir.path())
    {
        for (const char *url : {"http://a.example/", "it's \"quoted\"", "http://a.example/", "http://c.example/"})
            table.addUrl(1, QString::fromUtf8(url));
        table.addUrl(2, QStringLiteral("http://a.example/")); // another project's copy
        table.setFilter(1);
        rows = table.rowIds();
    }

    // Every row of the pass against a fresh read of the table.
    void expectCurrent(UrlPass &pass, const QString &column)
    {
        ASSERT_EQ(pass.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            const UrlTable::UrlAndFlag read = table.urlAndFlag(rows.at(i), column);
            EXPECT_EQ(pass.at(i).url, read.url);
            EXPECT_EQ(pass.at(i).flag, read.flag);
        }
    }

    bool flagOfOtherProject(const QString &column)
    {
        table.clearFilter();
        const bool value = table.flag(table.rowIds().last(), column).value_or(false);
        table.setFilter(1);
        return value;
    }

    qctest::ScopedBaseDir dir;
    UrlTable table;
    QList<qint64> rows;
};

TEST_F(UrlPassTest, HoldsTheViewInRowOrderWithOneFlagColumn)
{
    UrlGridRows(table).updateRow(rows.at(3), std::nullopt, QStringLiteral("E2"), false);
    for (const char *column : {"E2", "e2", "E30", "E31", ""}) {
        SCOPED_TRACE(column);
        UrlPass pass(table, QString::fromLatin1(column));
        expectCurrent(pass, QString::fromLatin1(column));
    }
    UrlPass none(table, QStringLiteral("E31"));
    EXPECT_EQ(none.at(0).flag, std::nullopt);
}

TEST_F(UrlPassTest, ItsOwnFlagChangesReachEveryCopyOfTheUrlInTheProjectOnly)
{
    UrlPass pass(table, QStringLiteral("E1"));
    pass.setFlag(1, QStringLiteral("http://a.example/"), false);
    EXPECT_EQ(pass.at(0).flag, std::optional<bool>(false));
    EXPECT_EQ(pass.at(2).flag, std::optional<bool>(false)); // the duplicate
    EXPECT_EQ(pass.at(3).flag, std::optional<bool>(true));
    expectCurrent(pass, QStringLiteral("E1"));
    EXPECT_TRUE(flagOfOtherProject(QStringLiteral("E1")));

    pass.setFlag(1, QStringLiteral("it's \"quoted\""), false);
    pass.setFlag(1, QStringLiteral("http://a.example/"), true);
    expectCurrent(pass, QStringLiteral("E1"));

    // A change for another project leaves the pass to read its rows again.
    pass.setFlag(2, QStringLiteral("http://a.example/"), false);
    expectCurrent(pass, QStringLiteral("E1"));
    EXPECT_FALSE(flagOfOtherProject(QStringLiteral("E1")));
}

TEST_F(UrlPassTest, OtherChangesThroughTheTableAreSeenAtTheNextUrl)
{
    UrlPass pass(table, QStringLiteral("E1"));
    ASSERT_EQ(pass.at(0).flag, std::optional<bool>(true));

    // As the grid would, while a request of the pass waits.
    UrlGridRows(table).updateRow(rows.at(1), QStringLiteral("http://b.example/"), QStringLiteral("E1"), false);
    UrlGridRows(table).deleteRow(rows.at(3));
    UrlGridRows(table).appendRow(QStringLiteral("http://new.example/"), QStringLiteral("E1"), true);
    EXPECT_EQ(pass.at(1).url, QStringLiteral("http://b.example/"));
    EXPECT_EQ(pass.at(1).flag, std::optional<bool>(false));
    EXPECT_EQ(pass.at(3).url, QString());
    EXPECT_EQ(pass.at(3).flag, std::nullopt);
    EXPECT_EQ(pass.size(), rows.size()); // rows added later are not part of the pass

    // Its own change right after another one is not mistaken for the only one.
    table.enableAll(1);
    pass.setFlag(1, QStringLiteral("http://c.example/"), false);
    EXPECT_EQ(pass.at(1).flag, std::optional<bool>(true));

    // A change the table refuses changes nothing.
    EXPECT_THROW(UrlPass(table, QStringLiteral("E31")).setFlag(1, QStringLiteral("http://a.example/"), false),
                 UrlTableError);
    expectCurrent(pass, QStringLiteral("E1"));
}

} // namespace
