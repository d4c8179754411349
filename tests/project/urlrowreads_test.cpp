#include "project/store/urlgridrows.h"
#include "project/store/urltable.h"
#include "support/tempdir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class UrlRowReads : public ::testing::Test
{
protected:
    qctest::ScopedBaseDir dir;
};

TEST_F(UrlRowReads, UrlAndFlagReadTogetherAsEachAlone)
{
    UrlTable table(dir.path());
    table.addUrl(1, QStringLiteral("http://a.example/"));
    const qint64 imported = UrlGridRows(table).appendRow(QStringLiteral("it's \"quoted\""), QString(), std::nullopt);
    UrlGridRows(table).updateRow(imported, std::nullopt, QStringLiteral("E2"), false);
    table.setFilter(1);
    const qint64 enabled = table.rowIds().value(0);
    const qint64 missing = imported + 100;

    const struct
    {
        const char *name;
        qint64 row;
        const char *column;
    } cases[] = {
        {"set flag", enabled, "E1"},
        {"last column", enabled, "E30"},
        {"lower-case column", enabled, "e7"},
        {"cleared flag", imported, "E2"},
        {"NULL flag reads false", imported, "E3"},
        {"column that names none", enabled, "E31"},
        {"empty column", enabled, ""},
        {"row that is gone", missing, "E1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString column = QString::fromLatin1(c.column);
        const UrlTable::UrlAndFlag both = table.urlAndFlag(c.row, column);
        EXPECT_EQ(both.url, table.url(c.row));
        EXPECT_EQ(both.flag, table.flag(c.row, column));
    }
    EXPECT_EQ(table.urlAndFlag(enabled, QStringLiteral("E1")).flag, std::optional<bool>(true));
    EXPECT_EQ(table.urlAndFlag(imported, QStringLiteral("E3")).flag, std::optional<bool>(false));
    EXPECT_EQ(table.urlAndFlag(missing, QStringLiteral("E1")).url, QString());
}

// A run changes flags while the file stays open; another user of the file
// (a second copy of the program, a database tool) must still read and write it.
TEST_F(UrlRowReads, ChangesAreSharedWithAnotherConnectionBothWays)
{
    UrlTable run(dir.path());
    run.addUrl(1, QStringLiteral("http://shared.example/"));
    run.setFilter(1);
    const qint64 row = run.rowIds().value(0);

    UrlTable other(dir.path());
    run.setFlag(QStringLiteral("E4"), 1, QStringLiteral("http://shared.example/"), false);
    EXPECT_EQ(other.flag(row, QStringLiteral("E4")), std::optional<bool>(false));

    other.setFlag(QStringLiteral("E4"), 1, QStringLiteral("http://shared.example/"), true);
    EXPECT_EQ(run.urlAndFlag(row, QStringLiteral("E4")).flag, std::optional<bool>(true));

    // A plain connection of its own, as a database tool would open, sees it too.
    const QString path = run.filePath();
    QSqlDatabase plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain-reader"));
    {
        plain.setDatabaseName(path);
        ASSERT_TRUE(plain.open());
        QSqlQuery query(plain);
        ASSERT_TRUE(query.exec(QStringLiteral("select E4 from urls2")));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toInt(), 1);
    }
    plain.close();
    plain = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("plain-reader"));
}

// The flag statements are kept per column and value: each must reach its own column only.
TEST_F(UrlRowReads, SetFlagChangesExactlyTheNamedColumnBothWays)
{
    UrlTable table(dir.path());
    table.addUrl(1, QStringLiteral("http://flags.example/"));
    table.setFilter(1);
    const qint64 row = table.rowIds().value(0);
    for (const char *column : {"E1", "e17", "E30"}) {
        SCOPED_TRACE(column);
        const QString name = QString::fromLatin1(column);
        for (const bool value : {false, true}) {
            table.setFlag(name, 1, QStringLiteral("http://flags.example/"), value);
            for (int n = 1; n <= UrlTable::FlagColumnCount; ++n) {
                const QString other = ProjectQuery::columnName(n);
                const bool named = other.compare(name, Qt::CaseInsensitive) == 0;
                EXPECT_EQ(table.flag(row, other), std::optional<bool>(named ? value : true)) << other.toStdString();
            }
        }
    }
}

} // namespace
