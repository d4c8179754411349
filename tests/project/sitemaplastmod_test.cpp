#include "project/readers/w3cdatetime.h"
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

class SitemapLastmodTest : public ::testing::Test
{
protected:
    // The rows of a statement run directly, not through the table, as "first column: second column".
    QStringList select(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(table.connectionName()));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
        QStringList rows;
        while (query.next())
            rows << query.value(0).toString() + QStringLiteral(": ") + query.value(1).toString();
        return rows;
    }
    // "url: n", n the number of engines the URL is still to go to.
    QStringList rows(int projectId = 5)
    {
        QString sum = QStringLiteral("E1");
        for (int column = 2; column <= 30; ++column)
            sum += QStringLiteral(" + E%1").arg(column);
        return select(
            QStringLiteral("select Url, %1 from urls2 where Projectid = %2 order by rowid").arg(sum).arg(projectId));
    }
    // "url: lastmod" as stored for project 5, by URL, of every URL these tests use.
    QStringList lastmods()
    {
        QStringList urls{"http://a/",    "http://b/",       "http://bare/",   "http://c/",   "http://d/",
                         "http://gone/", "http://hostile/", "http://listed/", "http://new/", "http://same/"};
        const QStringList stored = table.storedLastmods(5, urls);
        QStringList texts;
        for (qsizetype i = 0; i < urls.size(); ++i)
            if (!stored.at(i).isEmpty())
                texts << urls.at(i) + QStringLiteral(": ") + stored.at(i);
        return texts;
    }
    // Every URL of project 5 sent to every engine.
    void submitAll()
    {
        QString clear = QStringLiteral("E1 = 0");
        for (int column = 2; column <= 30; ++column)
            clear += QStringLiteral(", E%1 = 0").arg(column);
        select(QStringLiteral("update urls2 set %1 where Projectid = 5").arg(clear));
    }

    qctest::ScopedBaseDir dir;
    UrlTable table{dir.path()};
};

TEST_F(SitemapLastmodTest, AChangedLastmodSendsThePageAgainAndEverythingElseKeepsItsFlags)
{
    const QString hostile = QStringLiteral("x'); drop table urls2_sitemap; --");
    table.replaceProjectUrls(5, {"http://listed/", "http://gone/"});
    table.addUrl(6, QStringLiteral("http://listed/"));
    submitAll();

    table.replaceProjectUrlsFromSitemap(5, {{"http://listed/", "2024-01-01", 1},
                                            {"http://same/", " 2024-01-01 ", 2},
                                            {"http://hostile/", hostile, 3},
                                            {"http://bare/", "", 4},
                                            {"http://listed/", "1999", 5}});
    EXPECT_EQ(rows(), (QStringList{"http://listed/: 0", "http://same/: 30", "http://hostile/: 30", "http://bare/: 30"}))
        << "a URL without a stored lastmod keeps its flags";
    EXPECT_EQ(lastmods(),
              (QStringList{"http://hostile/: " + hostile, "http://listed/: 2024-01-01", "http://same/: 2024-01-01"}));

    // The pages in another order: matched by URL, not by place.
    submitAll();
    table.replaceProjectUrlsFromSitemap(5, {{"http://new/", "2024-01-01", 1},
                                            {"http://bare/", "2024-03-01", 2},
                                            {"http://hostile/", hostile, 3},
                                            {"http://same/", "2024-01-01\n", 4},
                                            {"http://listed/", "2024-02-01", 5}});
    EXPECT_EQ(rows(), (QStringList{"http://listed/: 30", "http://same/: 0", "http://hostile/: 0", "http://bare/: 0",
                                   "http://new/: 30"}));
    EXPECT_EQ(lastmods(),
              (QStringList{"http://bare/: 2024-03-01", "http://hostile/: " + hostile, "http://listed/: 2024-02-01",
                           "http://new/: 2024-01-01", "http://same/: 2024-01-01"}));

    // Losing its lastmod keeps a page's flags, and leaves nothing to compare with next time.
    submitAll();
    table.replaceProjectUrlsFromSitemap(5, {{"http://listed/", "", 1}});
    EXPECT_EQ(rows(), QStringList{"http://listed/: 0"});
    EXPECT_TRUE(lastmods().isEmpty());
    EXPECT_EQ(rows(6), QStringList{"http://listed/: 30"});
}

TEST_F(SitemapLastmodTest, AFailedReplacementLeavesRowsAndLastmodsAsTheyWere)
{
    table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "1", 1}});
    submitAll();
    // Refused at the last step, once the rows have been changed.
    select(QStringLiteral("create trigger refuse before insert on urls2_sitemap "
                          "begin select raise(abort, 'refused'); end"));
    EXPECT_THROW(table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "2", 1}, {"http://bad/", "1", 2}}),
                 UrlTableError);
    EXPECT_EQ(rows(), QStringList{"http://a/: 0"});
    EXPECT_EQ(lastmods(), QStringList{"http://a/: 1"});
}

TEST(W3cDatetime, LastmodsNamingTheSameMomentAreTheSame)
{
    const struct
    {
        const char *a;
        const char *b;
        bool same;
    } cases[] = {
        {"2025-01-06", "2025-01-06T00:00:00+00:00", true},
        {"2025-01-06T10:00:00+02:00", "2025-01-06T08:00:00Z", true},
        {"2025", "2025-01-01T00:00Z", true},
        {"2025-02", "2025-02-01", true},
        {"2024-12-31T23:30:00-01:00", "2025-01-01T00:30Z", true},
        {"2024-02-29T23:00:00-01:00", "2024-03-01", true},
        {"2025-01-06T08:00:00.5Z", "2025-01-06T08:00:00.500+00:00", true},
        {"2025-01-06T08:00:00.5Z", "2025-01-06T08:00:00.51Z", false},
        {"2025-01-06T08:00:00Z", "2025-01-06T08:00:01Z", false},
        {"2025-01-06", "2025-01-07", false},
        {"1969-12-31T23:59:59Z", "1970-01-01T00:00:00+00:01", false},
        // What is no W3C datetime is compared as text.
        {"last week", "last week", true},
        {"2025-01-06T10:00:00", "2025-01-06T10:00:00Z", false},
        {"2025-02-29", "2025-03-01", false},
        {"2025-1-6", "2025-01-06", false},
        {"2025-01-06t00:00z", "2025-01-06", false},
        {"2025-13", "2026-01", false},
        {"2025-01-06T24:00:00Z", "2025-01-07", false},
        {"2025-01-06T08:00:00.Z", "2025-01-06T08:00:00Z", false},
        {"2025-01-06T08:00+0000", "2025-01-06T08:00Z", false},
        {" 2025-01-06", "2025-01-06", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(sameLastmod(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.same);
        EXPECT_EQ(sameLastmod(QString::fromLatin1(c.b), QString::fromLatin1(c.a)), c.same);
    }
}

TEST_F(SitemapLastmodTest, TheSameMomentWrittenAnotherWayIsNoChangeAndTextsThatAreNoDatetimeAreCounted)
{
    EXPECT_EQ(table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "2025-01-06", 1},
                                                      {"http://b/", "2025-01-06T10:00:00+02:00", 2},
                                                      {"http://c/", "last week", 3},
                                                      {"http://d/", "", 4}}),
              1);
    submitAll();
    EXPECT_EQ(table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "2025-01-06T00:00:00+00:00", 1},
                                                      {"http://b/", "2025-01-06T08:00:00Z", 2},
                                                      {"http://c/", "last week", 3},
                                                      {"http://d/", "2025-13-01", 4}}),
              2);
    EXPECT_EQ(rows(), (QStringList{"http://a/: 0", "http://b/: 0", "http://c/: 0", "http://d/: 0"}));
    EXPECT_EQ(lastmods(), (QStringList{"http://a/: 2025-01-06T00:00:00+00:00", "http://b/: 2025-01-06T08:00:00Z",
                                       "http://c/: last week", "http://d/: 2025-13-01"}));
}

TEST_F(SitemapLastmodTest, PagesAPartialImportDroppedAreNotSentAgainWhenTheyComeBack)
{
    const QList<SitemapEntry> full = {
        {"http://a/", "2025-01-01", 1}, {"http://b/", "2025-01-02", 2}, {"http://c/", "2025-01-03", 3}};
    table.replaceProjectUrlsFromSitemap(5, full);
    submitAll();
    table.replaceProjectUrlsFromSitemap(5, {full.at(0)});
    EXPECT_EQ(rows(), QStringList{"http://a/: 0"});
    EXPECT_EQ(lastmods(), QStringList{"http://a/: 2025-01-01"});
    EXPECT_EQ(table.departedUrls(5), (QStringList{"http://b/", "http://c/"}));

    // Back with the lastmod it left with, a page is unchanged; with another, it changed while away.
    QList<SitemapEntry> changed = full;
    changed[2].lastmod = QStringLiteral("2025-02-03");
    table.replaceProjectUrlsFromSitemap(5, changed);
    EXPECT_EQ(rows(), (QStringList{"http://a/: 0", "http://b/: 0", "http://c/: 30"}));
    EXPECT_EQ(lastmods(), (QStringList{"http://a/: 2025-01-01", "http://b/: 2025-01-02", "http://c/: 2025-02-03"}));
    EXPECT_TRUE(table.departedUrls(5).isEmpty());

    // A URL list in between keeps the lastmods of those it drops as well.
    submitAll();
    table.replaceProjectUrls(5, {"http://a/"});
    EXPECT_EQ(lastmods(), QStringList{"http://a/: 2025-01-01"});
    table.replaceProjectUrls(5, {"http://a/", "http://c/"});
    EXPECT_EQ(rows(), (QStringList{"http://a/: 0", "http://c/: 0"}));
    EXPECT_EQ(lastmods(), (QStringList{"http://a/: 2025-01-01", "http://c/: 2025-02-03"}));
}

TEST_F(SitemapLastmodTest, AFileWithALastmodRowPerUrlOpensWithItsLastmodsAndTheyAreWeighed)
{
    table.replaceProjectUrls(5, {"http://a/", "http://b/", "http://c/"});
    submitAll();
    // The shape files had before: a row per URL, a URL possibly twice (the first counts).
    select(QStringLiteral("drop table urls2_sitemap"));
    select(QStringLiteral("create table urls2_lastmod (Projectid REAL, Url VARCHAR(255), Lastmod TEXT)"));
    select(QStringLiteral("insert into urls2_lastmod values (5, 'http://a/', '2025-01-01'), (5, 'http://b/', "
                          "'2025-01-02'), (5, 'http://a/', '1999'), (5, 'http://c/', ''), (6, 'http://a/', 'x''y')"));

    UrlTable reopened(dir.path());
    EXPECT_EQ(lastmods(), (QStringList{"http://a/: 2025-01-01", "http://b/: 2025-01-02"}));
    EXPECT_EQ(reopened.storedLastmods(6, {"http://a/"}), QStringList{"x'y"});
    EXPECT_TRUE(select(QStringLiteral("select name, 0 from sqlite_master where name = 'urls2_lastmod'")).isEmpty());

    reopened.replaceProjectUrlsFromSitemap(
        5, {{"http://a/", "2025-01-01T00:00Z", 1}, {"http://b/", "2025-02-02", 2}, {"http://c/", "2025-01-03", 3}});
    EXPECT_EQ(rows(), (QStringList{"http://a/: 0", "http://b/: 30", "http://c/: 0"}));
}

TEST_F(SitemapLastmodTest, ABrokenStoredValueIsReadUpToTheBreakAndReplacedByTheNextImport)
{
    table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "2025-01-01", 1}, {"http://b/", "2025-01-02", 2}});
    submitAll();
    const struct
    {
        const char *name;
        const char *value; // SQL for the new value, from the stored one
        int kept;          // entries still read
    } cases[] = {
        {"cut inside the second entry", "substr(Lastmods, 1, 25)", 1},
        {"cut inside a key", "substr(Lastmods, 1, 5)", 0},
        {"a length past the end", "x'0000000000000000ff01414141'", 0},
        {"a length that never ends", "x'0000000000000000ffffffffffffff'", 0},
        {"not a blob", "'text'", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        select(QStringLiteral("update urls2_sitemap set Lastmods = %1 where Projectid = 5").arg(c.value));
        EXPECT_EQ(lastmods().size(), c.kept);
        // A URL without a readable lastmod keeps its flags; the import stores the whole list again.
        table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "2025-01-01", 1}, {"http://b/", "2025-03-03", 2}});
        EXPECT_EQ(rows(), (QStringList{"http://a/: 0", "http://b/: 0"}));
        EXPECT_EQ(lastmods(), (QStringList{"http://a/: 2025-01-01", "http://b/: 2025-03-03"}));
        table.replaceProjectUrlsFromSitemap(5, {{"http://a/", "2025-01-01", 1}, {"http://b/", "2025-01-02", 2}});
        submitAll();
    }
}

} // namespace
