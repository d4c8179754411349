#include "project/store/pagestate.h"
#include "project/store/urlgridrows.h"
#include "project/store/urltable.h"
#include "project/store/urltablemodel.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct StoredRow
{
    QVariant projectId;
    QString url;
    QVariantList flags; // E1 ... E30 as stored, NULL included
};

class UrlTableTest : public ::testing::Test
{
protected:
    // Reads the stored rows directly, so the checks do not go through the code under test.
    QList<StoredRow> stored(std::optional<int> projectId = std::nullopt)
    {
        QString sql = QStringLiteral("select Projectid, Url");
        for (int column = 1; column <= 30; ++column)
            sql += QStringLiteral(", E%1").arg(column);
        sql += QStringLiteral(" from urls2");
        if (projectId)
            sql += QStringLiteral(" where Projectid = %1").arg(*projectId);
        sql += QStringLiteral(" order by rowid");
        QSqlQuery query(QSqlDatabase::database(table.connectionName()));
        EXPECT_TRUE(query.exec(sql));
        QList<StoredRow> rows;
        while (query.next()) {
            StoredRow row{query.value(0), query.value(1).toString(), {}};
            for (int column = 0; column < 30; ++column)
                row.flags << query.value(2 + column);
            rows << row;
        }
        return rows;
    }

    QStringList urls(std::optional<int> projectId = std::nullopt)
    {
        QStringList list;
        for (const StoredRow &row : stored(projectId))
            list << row.url;
        return list;
    }

    static bool allFlags(const StoredRow &row, const QVariant &expected)
    {
        for (const QVariant &flag : row.flags)
            if (flag.isNull() != expected.isNull() || (!expected.isNull() && flag.toInt() != expected.toInt()))
                return false;
        return true;
    }

    // A statement on the table's own connection, as the test's lever on it.
    bool own(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(table.connectionName()));
        return query.exec(sql);
    }

    QString writeList(const QByteArray &bytes)
    {
        const QString path = dir.file(QStringLiteral("list.txt"));
        qctest::writeFile(path, bytes);
        return path;
    }

    qctest::ScopedBaseDir dir;
    UrlTable table{dir.path()};
};

// A connection of its own to the file, as another program holding it would have.
class OtherConnection
{
public:
    explicit OtherConnection(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~OtherConnection() { QSqlDatabase::removeDatabase(Name); }
    bool exec(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(Name));
        return query.exec(sql);
    }

private:
    static constexpr const char *Name = "other-program";
};

TEST_F(UrlTableTest, AddStoresTheTextAsTypedWithAllThirtyFlagsTrue)
{
    QSignalSpy posted(&table, &UrlTable::afterPost);
    table.addUrl(7, QStringLiteral(" http://a.example/ "));
    table.addUrl(7, QStringLiteral(" http://a.example/ "));
    const QList<StoredRow> rows = stored(7);
    ASSERT_EQ(rows.size(), 2);
    for (const StoredRow &row : rows) {
        EXPECT_EQ(row.url, QStringLiteral(" http://a.example/ "));
        EXPECT_EQ(row.projectId.toDouble(), 7.0);
        EXPECT_TRUE(allFlags(row, 1));
    }
    EXPECT_EQ(posted.count(), 2);
}

TEST_F(UrlTableTest, TextLongerThan255CharactersIsCutWhenStoredAndStillMatched)
{
    const QString longUrl = QStringLiteral("http://a.example/") + QString(300, u'p');
    table.addUrl(1, longUrl);
    ASSERT_EQ(urls(1), QStringList{longUrl.left(255)});
    table.setFlag(QStringLiteral("E2"), 1, longUrl, false);
    EXPECT_EQ(stored(1).at(0).flags.at(1).toInt(), 0);

    // A cut never leaves half of a surrogate pair behind.
    const QString emoji = QString(254, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(UrlTable::storedText(emoji), QString(254, u'x'));
}

TEST_F(UrlTableTest, ImportAddsTheCheckedLinesOnceEachAndReportsTheOthers)
{
    table.addUrl(1, QStringLiteral("http://held.example/"));
    UrlList list;
    EXPECT_EQ(table.importFile(1, writeList("http://held.example/\nnot a url\nhttp://b.example/\nhttp://b.example/\n"),
                               &list),
              2);
    EXPECT_EQ(urls(1), (QStringList{"http://held.example/", "http://held.example/", "http://b.example/"}));
    ASSERT_EQ(list.warnings.size(), 1);
    EXPECT_EQ(list.warnings.at(0).text(), QStringLiteral(R"(line 2: not an http:// or https:// URL: "not a url")"));
}

TEST_F(UrlTableTest, ImportLeavesFlagsNullWhichReadAsFalse)
{
    QSignalSpy posted(&table, &UrlTable::afterPost);
    ASSERT_EQ(table.importFile(3, writeList("http://a.example/\nhttp://b.example/\n")), 2);
    for (const StoredRow &row : stored(3))
        EXPECT_TRUE(allFlags(row, QVariant()));
    table.setFilter(3);
    const QList<qint64> ids = table.rowIds();
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(table.url(ids.at(1)), QStringLiteral("http://b.example/"));
    EXPECT_EQ(table.flag(ids.at(0), QStringLiteral("E1")), std::optional<bool>(false));
    EXPECT_EQ(posted.count(), 1);
}

TEST_F(UrlTableTest, ImportOfAFileThatCannotBeOpenedAddsNothing)
{
    table.addUrl(1, QStringLiteral("keep"));
    UrlList list;
    EXPECT_EQ(table.importFile(1, dir.file(QStringLiteral("missing.txt")), &list), -1);
    EXPECT_FALSE(list.readable());
    EXPECT_EQ(table.importFile(1, dir.path()), -1);
    EXPECT_EQ(urls(), QStringList{"keep"});
}

TEST_F(UrlTableTest, EnableAllTouchesOnlyThatProject)
{
    table.importFile(1, writeList("http://one/\nhttp://two/\n"));
    table.importFile(2, writeList("http://other/\n"));
    table.setFlag(QStringLiteral("E4"), 1, QStringLiteral("http://one/"), false);
    table.enableAll(1);
    for (const StoredRow &row : stored(1))
        EXPECT_TRUE(allFlags(row, 1)) << row.url.toStdString();
    EXPECT_TRUE(allFlags(stored(2).at(0), QVariant()));
}

TEST_F(UrlTableTest, ReplaceKeepsTheFlagsOfHeldUrlsEnablesNewOnesAndRemovesTheRest)
{
    const QString hostile = QStringLiteral("http://h.example/'); delete from urls2; --");
    table.importUrls(5, {"http://a/", "http://b/", "http://a/", "http://c/", hostile});
    table.addUrl(6, QStringLiteral("http://b/"));
    table.setFilter(5);
    const QList<qint64> ids = table.rowIds();
    UrlGridRows(table).updateRow(ids.at(0), std::nullopt, QStringLiteral("E1"), false);
    UrlGridRows(table).updateRow(ids.at(2), std::nullopt, QStringLiteral("E2"),
                                 true); // the second "a" goes with its flags
    UrlGridRows(table).updateRow(ids.at(3), std::nullopt, QStringLiteral("E30"), true);
    const QList<StoredRow> before = stored(5);
    const QList<StoredRow> otherBefore = stored(6);

    QSignalSpy posted(&table, &UrlTable::afterPost);
    table.replaceProjectUrls(5, {"http://d/", "http://c/", "http://a/", "http://d/", hostile});
    const QList<StoredRow> after = stored(5);
    ASSERT_EQ(urls(5), (QStringList{"http://a/", "http://c/", hostile, "http://d/"}));
    EXPECT_EQ(after.at(0).flags, before.at(0).flags);
    EXPECT_EQ(after.at(1).flags, before.at(3).flags);
    EXPECT_EQ(after.at(2).flags, before.at(4).flags);
    EXPECT_TRUE(allFlags(after.at(3), 1));
    EXPECT_EQ(posted.count(), 1);
    EXPECT_EQ(stored(6).at(0).flags, otherBefore.at(0).flags);
    EXPECT_EQ(urls(6), QStringList{"http://b/"});

    table.replaceProjectUrls(5, {});
    EXPECT_TRUE(urls(5).isEmpty());
    EXPECT_EQ(urls(6), QStringList{"http://b/"});
}

TEST_F(UrlTableTest, AReplaceThatFailsOrCannotReadItsFileLeavesTheOldRows)
{
    table.addUrl(5, QStringLiteral("http://old/"));
    table.setFlag(QStringLiteral("E3"), 5, QStringLiteral("http://old/"), false);
    const QList<StoredRow> before = stored(5);

    UrlList list;
    EXPECT_FALSE(table.replaceFromFile(5, dir.file(QStringLiteral("missing.txt")), &list));
    EXPECT_TRUE(list.errorText().contains(dir.file(QStringLiteral("missing.txt"))));

    QSqlQuery refuse(QSqlDatabase::database(table.connectionName()));
    ASSERT_TRUE(refuse.exec(QStringLiteral("create trigger refuse before insert on urls2 when new.Url = 'http://bad/' "
                                           "begin select raise(abort, 'refused'); end")));
    EXPECT_THROW(table.replaceProjectUrls(5, {"http://new/", "http://bad/"}), UrlTableError);
    EXPECT_THROW(table.replaceFromFile(5, writeList("http://new/\nhttp://bad/\n")), UrlTableError);

    const QList<StoredRow> after = stored(5);
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after.at(0).url, QStringLiteral("http://old/"));
    EXPECT_EQ(after.at(0).flags, before.at(0).flags);

    // A program killed part-way must find the old rows or the new ones: only a
    // journal on disk gives that.
    QSqlQuery mode(QSqlDatabase::database(table.connectionName()));
    ASSERT_TRUE(mode.exec(QStringLiteral("pragma journal_mode")) && mode.next());
    EXPECT_TRUE(QStringList({"wal", "delete"}).contains(mode.value(0).toString()))
        << mode.value(0).toString().toStdString();
}

TEST_F(UrlTableTest, WritesThatCannotBeMadeNameTheFileAndTheReason)
{
    table.addUrl(1, QStringLiteral("http://a/"));
    table.setFilter(1);
    const qint64 row = table.rowIds().at(0);
    const QString prefix = QStringLiteral("Unable to write to %1: ")
                               .arg(QFileInfo(dir.file(QStringLiteral("urls2.db"))).absoluteFilePath());
    OtherConnection other(table.filePath());
    ASSERT_TRUE(own(QStringLiteral("pragma busy_timeout = 10")));
    const struct
    {
        const char *name;
        const char *hold;
        const char *release;
        bool otherProgram;
        const char *reason;
    } cases[] = {
        {"read-only", "pragma query_only = 1", "pragma query_only = 0", false, "attempt to write a readonly database"},
        {"locked by another program", "begin immediate", "rollback", true, "database is locked"},
    };
    const auto failure = [](const std::function<void()> &write) {
        try {
            write();
        } catch (const UrlTableError &error) {
            return error.message();
        }
        return QStringLiteral("no failure");
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto lever = [&](const char *sql) {
            return c.otherProgram ? other.exec(QLatin1String(sql)) : own(QLatin1String(sql));
        };
        ASSERT_TRUE(lever(c.hold));
        for (const bool grouped : {false, true}) {
            SCOPED_TRACE(grouped ? "grouped" : "one by one");
            if (grouped)
                table.beginFlagBatch(60000);
            EXPECT_EQ(failure([&] { table.setFlag(QStringLiteral("E1"), 1, QStringLiteral("http://a/"), false); }),
                      prefix + QLatin1String(c.reason));
            EXPECT_EQ(failure([&] { table.setRowFlags(QStringLiteral("E1"), {row}, false); }),
                      prefix + QLatin1String(c.reason));
            if (grouped) {
                EXPECT_NO_THROW(table.endFlagBatch());
            }
        }
        EXPECT_EQ(failure([&] { table.replaceProjectUrls(1, {"http://b/"}); }), prefix + QLatin1String(c.reason));
        ASSERT_TRUE(lever(c.release));
        EXPECT_EQ(urls(1), QStringList{"http://a/"});
        EXPECT_EQ(table.flag(row, QStringLiteral("E1")), std::optional<bool>(true));
    }

    // A write that meets no row (the row went meanwhile) is no failure, and the table writes again.
    table.beginFlagBatch(60000);
    EXPECT_NO_THROW(table.setFlag(QStringLiteral("E1"), 1, QStringLiteral("http://gone/"), false));
    EXPECT_NO_THROW(table.setRowFlags(QStringLiteral("E1"), {row + 100}, false));
    EXPECT_NO_THROW(table.setRowFlags(QStringLiteral("E1"), {row}, false));
    EXPECT_NO_THROW(table.endFlagBatch());
    EXPECT_EQ(stored(1).at(0).flags.at(0).toInt(), 0);
}

TEST_F(UrlTableTest, AGroupedCommitThatFailsIsToldByTheEndOrTheNextFlagWrite)
{
    table.addUrl(1, QStringLiteral("http://a/"));
    table.setFilter(1);
    const qint64 row = table.rowIds().at(0);
    const QString locked = QStringLiteral("Unable to write to %1: database is locked")
                               .arg(QFileInfo(dir.file(QStringLiteral("urls2.db"))).absoluteFilePath());
    // Without the write-ahead log a reader keeps the file from being committed to.
    QSqlQuery mode(QSqlDatabase::database(table.connectionName()));
    ASSERT_TRUE(mode.exec(QStringLiteral("pragma journal_mode = delete")) && mode.next());
    ASSERT_EQ(mode.value(0).toString(), QStringLiteral("delete"));
    mode.finish();
    ASSERT_TRUE(own(QStringLiteral("pragma busy_timeout = 10")));
    OtherConnection reader(table.filePath());
    ASSERT_TRUE(reader.exec(QStringLiteral("pragma busy_timeout = 0")));

    for (const bool inTimer : {false, true}) {
        SCOPED_TRACE(inTimer ? "committed by the timer, told by the next write" : "told by endFlagBatch");
        ASSERT_TRUE(reader.exec(QStringLiteral("begin")) && reader.exec(QStringLiteral("select count(*) from urls2")));
        table.beginFlagBatch(inTimer ? 0 : 60000);
        table.setFlag(QStringLiteral("E1"), 1, QStringLiteral("http://a/"), false);
        try {
            if (inTimer) {
                // The reader can write once the group's commit has failed and let go of the file.
                for (int i = 0; i < 1000 && !reader.exec(QStringLiteral("update urls2 set E3 = E3 where 0")); ++i)
                    QCoreApplication::processEvents();
                table.setRowFlags(QStringLiteral("E2"), {row}, false);
            } else {
                table.endFlagBatch();
            }
            ADD_FAILURE() << "no failure";
        } catch (const UrlTableError &error) {
            EXPECT_EQ(error.message(), locked);
        }
        ASSERT_TRUE(reader.exec(QStringLiteral("rollback")));
        EXPECT_NO_THROW(table.endFlagBatch()); // told once
        EXPECT_EQ(table.flag(row, QStringLiteral("E1")), std::optional<bool>(true));
        EXPECT_EQ(table.flag(row, QStringLiteral("E2")), std::optional<bool>(true));
    }
}

TEST_F(UrlTableTest, AListWithoutAValidUrlChangesNothing)
{
    table.replaceProjectUrls(5, {"http://kept/"});
    for (const QByteArray &bytes : {QByteArray(), QByteArray("# none yet\n"), QByteArray("not a url\nftp://x/\n")}) {
        SCOPED_TRACE(bytes.toStdString());
        UrlList list;
        EXPECT_FALSE(table.replaceFromFile(5, writeList(bytes), &list));
        EXPECT_TRUE(list.errorText().startsWith(QStringLiteral("list.txt holds no valid URL (")))
            << list.errorText().toStdString();
        EXPECT_EQ(table.importFile(5, writeList(bytes), &list), -1);
        EXPECT_FALSE(list.errorText().isEmpty());
        EXPECT_EQ(urls(5), QStringList{"http://kept/"});
    }
}

TEST_F(UrlTableTest, AUrlThatLeavesKeepsWhatItWasSentAndGetsItBackWhenItReturns)
{
    table.importUrls(5, {"http://a/", "http://n/"}); // flags NULL
    table.replaceProjectUrls(5, {"http://a/", "http://n/", "http://b/"});
    table.addUrl(6, QStringLiteral("http://a/"));
    table.setFlag(QStringLiteral("E1"), 5, QStringLiteral("http://a/"), true);
    table.setFlag(QStringLiteral("E2"), 5, QStringLiteral("http://b/"), false);
    const QList<StoredRow> before = stored(5);

    // A partial list: a and b leave, out of the view, into the history.
    table.replaceProjectUrls(5, {"http://n/"});
    EXPECT_EQ(urls(5), QStringList{"http://n/"});
    EXPECT_EQ(table.departedUrls(5), (QStringList{"http://a/", "http://b/"}));
    EXPECT_TRUE(table.departedUrls(6).isEmpty());
    EXPECT_EQ(urls(6), QStringList{"http://a/"});

    // Back, they have what they had been sent; a URL never seen is to go everywhere.
    table.replaceProjectUrls(5, {"http://b/", "http://n/", "http://a/", "http://z/"});
    const QList<StoredRow> after = stored(5);
    ASSERT_EQ(urls(5), (QStringList{"http://n/", "http://b/", "http://a/", "http://z/"}));
    EXPECT_EQ(after.at(1).flags, before.at(2).flags);
    EXPECT_EQ(after.at(2).flags, before.at(0).flags);
    EXPECT_TRUE(allFlags(after.at(3), 1));
    EXPECT_TRUE(table.departedUrls(5).isEmpty());

    // Deleting the project forgets its history too.
    table.replaceProjectUrls(5, {"http://z/"});
    EXPECT_EQ(table.departedUrls(5).size(), 3);
    table.deleteProject(5);
    QSqlQuery left(QSqlDatabase::database(table.connectionName()));
    ASSERT_TRUE(left.exec(QStringLiteral("select count(*) from urls2_history where Projectid = 5")) && left.next());
    EXPECT_EQ(left.value(0).toInt(), 0);
    EXPECT_EQ(urls(6), QStringList{"http://a/"});
}

TEST_F(UrlTableTest, ReplaceFromAFileTakesItsCheckedLinesAndKeepsFlags)
{
    table.importFile(5, writeList("http://old/\nhttp://kept/\n"));
    ASSERT_TRUE(table.replaceFromFile(5, writeList("http://kept/\nnot a url\nhttp://new/\n")));
    ASSERT_EQ(urls(5), (QStringList{"http://kept/", "http://new/"}));
    EXPECT_TRUE(allFlags(stored(5).at(0), QVariant()));
    EXPECT_TRUE(allFlags(stored(5).at(1), 1));
}

TEST_F(UrlTableTest, HostileUrlsAreStoredUpdatedAndDeletedLikeAnyOther)
{
    const QStringList hostile = {
        QStringLiteral("http://a.example/it's"),       QStringLiteral("http://a.example/back\\slash"),
        QStringLiteral("http://a.example/100%"),       QStringLiteral("'); drop table urls2; --"),
        QStringLiteral("http://a.example/\"double\""),
    };
    for (const QString &url : hostile) {
        SCOPED_TRACE(url.toStdString());
        table.addUrl(9, url);
        table.addUrl(9, QStringLiteral("http://a.example/100")); // a near neighbour that must not change
        table.addUrl(9, url);                                    // duplicates share their flag changes
        table.setFlag(QStringLiteral("E3"), 9, url, false);
        const QList<StoredRow> rows = stored(9);
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows.at(0).url, url);
        EXPECT_EQ(rows.at(0).flags.at(2).toInt(), 0);
        EXPECT_EQ(rows.at(1).flags.at(2).toInt(), 1);
        EXPECT_EQ(rows.at(2).flags.at(2).toInt(), 0);

        table.setFilter(9);
        UrlGridRows(table).deleteRow(table.rowIds().at(0));
        EXPECT_EQ(urls(9), (QStringList{"http://a.example/100", url}));
        table.deleteProject(9);
        EXPECT_TRUE(urls(9).isEmpty());
    }
}

TEST_F(UrlTableTest, OnlyTheThirtyFlagColumnsAreAcceptedAsColumnNames)
{
    table.addUrl(1, QStringLiteral("u"));
    table.setFilter(1);
    const qint64 id = table.rowIds().at(0);
    for (const char *bad : {"", "E", "E0", "E31", "E01", "E100", "Url", "Projectid", "E1 ", "E1; drop table urls2",
                            "E1 = true, Url", "F1"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(table.setFlag(QString::fromLatin1(bad), 1, QStringLiteral("u"), false), UrlTableError);
        EXPECT_EQ(table.flag(id, QString::fromLatin1(bad)), std::nullopt);
    }
    EXPECT_TRUE(allFlags(stored(1).at(0), 1));

    for (const char *good : {"E1", "E9", "E30", "e7"}) {
        SCOPED_TRACE(good);
        table.setFlag(QString::fromLatin1(good), 1, QStringLiteral("u"), false);
        EXPECT_EQ(table.flag(id, QString::fromLatin1(good)), std::optional<bool>(false));
    }
    EXPECT_THROW(table.query().enableColumn(31, 1), UrlTableError);
}

TEST_F(UrlTableTest, CountsAndRowIdsAreTheTrueTotalsOfTheFilteredView)
{
    QByteArray lines;
    for (int i = 0; i < 300; ++i)
        lines += "http://a.example/" + QByteArray::number(i) + "\n";
    ASSERT_EQ(table.importFile(4, writeList(lines)), 300);
    table.addUrl(8, QStringLiteral("other"));

    EXPECT_EQ(table.filter(), QString());
    EXPECT_EQ(table.rowCount(), 301);
    table.setFilter(4);
    EXPECT_EQ(table.filter(), QStringLiteral("Projectid = 4"));
    EXPECT_EQ(table.rowCount(), 300);
    const QList<qint64> ids = table.rowIds();
    ASSERT_EQ(ids.size(), 300);
    EXPECT_EQ(table.url(ids.last()), QStringLiteral("http://a.example/299"));

    UrlTableModel model(table);
    EXPECT_EQ(model.rowCount(), 300);
    table.clearFilter();
    EXPECT_EQ(model.rowCount(), 301);
}

TEST_F(UrlTableTest, TheFilterCountAndFlagUpdatesUseTheIndex)
{
    const QStringList statements = {
        QStringLiteral("select count(*) from urls2 where Projectid = 1"),
        QStringLiteral("select rowid from urls2 where Projectid = 1 order by rowid"),
        QStringLiteral("update urls2 set E1 = false where Projectid = 1 and url = 'x'"),
    };
    QSqlQuery query(QSqlDatabase::database(table.connectionName()));
    for (const QString &statement : statements) {
        SCOPED_TRACE(statement.toStdString());
        ASSERT_TRUE(query.exec(QStringLiteral("explain query plan ") + statement));
        QString plan;
        while (query.next())
            plan += query.value(3).toString() + u'\n';
        EXPECT_TRUE(plan.contains(QStringLiteral("urls2_project_url"))) << plan.toStdString();
    }
}

TEST_F(UrlTableTest, RowsSurviveReopeningAndANewConnection)
{
    table.addUrl(2, QStringLiteral("kept"));
    table.reopen();
    EXPECT_EQ(urls(2), QStringList{"kept"});
    UrlTable second(dir.path());
    second.setFilter(2);
    EXPECT_EQ(second.rowCount(), 1);
}

TEST(UrlTableOpen, AFileThatIsNoDatabaseIsReportedAndLeftAsItWas)
{
    qctest::ScopedBaseDir dir;
    const QByteArray garbage(4096, 'g');
    qctest::writeFile(dir.file(QStringLiteral("urls2.db")), garbage);
    EXPECT_THROW(UrlTable table(dir.path()), UrlTableError);
    EXPECT_EQ(qctest::readFile(dir.file(QStringLiteral("urls2.db"))), garbage);
    EXPECT_THROW(UrlTable table(dir.file(QStringLiteral("no/such/dir"))), UrlTableError);
}

TEST_F(UrlTableTest, GridInsertedRowBelongsToTheFilteredProject)
{
    table.addUrl(1, QStringLiteral("first"));
    table.setFilter(1);
    UrlTableModel model(table);
    QSignalSpy posted(&model, &UrlTableModel::afterPost);
    const int row = model.insertAt(0);
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_TRUE(model.setData(model.index(row, 0), QStringLiteral("typed")));
    ASSERT_TRUE(model.post());
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(posted.count(), 1);
    const QList<StoredRow> rows = stored();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(1).projectId.toInt(), 1);
    EXPECT_EQ(rows.at(1).url, QStringLiteral("typed"));
    EXPECT_TRUE(allFlags(rows.at(1), QVariant()));
}

TEST_F(UrlTableTest, GridEditsArePostedOrCancelledForOneRowOnly)
{
    table.addUrl(1, QStringLiteral("same"));
    table.addUrl(1, QStringLiteral("same"));
    table.importFile(1, writeList("http://blank/\n"));
    table.setFilter(1);
    UrlTableModel model(table);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal), QStringLiteral("URL's to submit"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal), QStringLiteral("Enabled"));
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::CheckStateRole).isValid()); // no column bound yet
    EXPECT_FALSE(model.setFlagColumn(QStringLiteral("Url")));
    ASSERT_TRUE(model.setFlagColumn(QStringLiteral("E2")));
    EXPECT_EQ(model.data(model.index(2, 1), Qt::CheckStateRole), Qt::Unchecked);

    // Editing the second duplicate changes that row alone.
    ASSERT_TRUE(model.setData(model.index(1, 0), QStringLiteral("edited")));
    ASSERT_TRUE(model.setData(model.index(1, 1), Qt::Unchecked, Qt::CheckStateRole));
    ASSERT_TRUE(model.post());
    EXPECT_EQ(urls(1), (QStringList{"same", "edited", "http://blank/"}));
    EXPECT_EQ(stored(1).at(1).flags.at(1).toInt(), 0);
    EXPECT_EQ(stored(1).at(0).flags.at(1).toInt(), 1);

    // Cancel restores what is stored; editing another row posts the pending one.
    model.setData(model.index(0, 0), QStringLiteral("dropped"));
    model.cancel();
    EXPECT_EQ(model.data(model.index(0, 0)), QStringLiteral("same"));
    model.setData(model.index(0, 0), QStringLiteral("auto-posted"));
    model.setData(model.index(2, 1), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(urls(1).at(0), QStringLiteral("auto-posted"));

    // Deleting one of two equal URLs removes only that row.
    table.addUrl(1, QStringLiteral("twin"));
    table.addUrl(1, QStringLiteral("twin"));
    ASSERT_EQ(model.rowCount(), 5);
    ASSERT_TRUE(model.deleteAt(3));
    EXPECT_EQ(urls(1), (QStringList{"auto-posted", "edited", "http://blank/", "twin"}));
}

} // namespace

TEST_F(UrlTableTest, TheGridFollowsTheTablesChangesAndARunsFlagsAreAnnouncedPerCommit)
{
    table.addUrl(1, QStringLiteral("http://a/"));
    table.addUrl(1, QStringLiteral("http://b/"));
    table.setFilter(1);
    UrlTableModel model(table);
    ASSERT_TRUE(model.setFlagColumn(QStringLiteral("E1")));
    QSignalSpy values(&table, &UrlTable::rowsChanged);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    const auto shown = [&](int row) { return model.data(model.index(row, 1), Qt::CheckStateRole); };
    ASSERT_EQ(shown(0), Qt::Checked); // read once, so the model holds it

    // A flag written outside a run is announced at once; the rows stay, the value is read again.
    table.setFlag(QStringLiteral("E1"), 1, QStringLiteral("http://a/"), false);
    EXPECT_EQ(values.count(), 1);
    EXPECT_EQ(shown(0), Qt::Unchecked);

    // A run's flags are announced once, when their group is committed.
    table.beginFlagBatch(60000);
    table.setFlag(QStringLiteral("E1"), 1, QStringLiteral("http://b/"), false);
    table.setFlag(QStringLiteral("E1"), 1, QStringLiteral("http://a/"), true);
    EXPECT_EQ(values.count(), 1);
    table.endFlagBatch();
    EXPECT_EQ(values.count(), 2);
    EXPECT_EQ(shown(0), Qt::Checked);
    EXPECT_EQ(shown(1), Qt::Unchecked);
    EXPECT_EQ(resets.count(), 0);

    // Rows added by an import, by another caller, come into the view.
    table.importUrls(1, {"http://c/"});
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(2, 0)), QStringLiteral("http://c/"));
}

TEST_F(UrlTableTest, PageChecksStoredByAnOlderVersionKeepWorkingAndGainTheRawHash)
{
    {
        QSqlQuery query(QSqlDatabase::database(table.connectionName()));
        ASSERT_TRUE(query.exec("drop table urls2_pagecheck"));
        ASSERT_TRUE(query.exec("create table urls2_pagecheck (Projectid REAL, Url TEXT, ETag BLOB, LastModified BLOB, "
                               "Fingerprint BLOB, VerdictKind INTEGER, VerdictText TEXT, StatusLine TEXT, "
                               "Checked TEXT, primary key (Projectid, Url))"));
        ASSERT_TRUE(query.exec("insert into urls2_pagecheck values (1, 'https://a.example/', '\"e\"', '', "
                               "'17b9be23', 0, '', 'HTTP/1.1 200 OK', '2025-01-06T00:00:00.000Z')"));
    }
    UrlTable upgraded{dir.path()};
    PageState state(upgraded);
    PageState::Check check = state.checks(1).value("https://a.example/");
    EXPECT_EQ(check.fingerprint, "17b9be23");
    EXPECT_EQ(check.rawHash, QByteArray());
    check.rawHash = "raw";
    state.setChecks(1, {{"https://a.example/", check}});
    EXPECT_EQ(state.checks(1).value("https://a.example/").rawHash, "raw");
}
