#include "net/httpclient.h"
#include "project/store/enginestate.h"
#include "project/store/urltable.h"
#include "runs/sitemapimport.h"
#include "support/lighttpdfixture.h"
#include "support/tempdir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <ostream>
#include <zlib.h>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A <urlset> of locs with one lastmod, or a <sitemapindex> of locs, one element a line.
QByteArray sitemap(const char *root, const char *item, const QList<QByteArray> &locs, const QByteArray &lastmod = "")
{
    QByteArray xml = QByteArray("<") + root + " xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (const QByteArray &loc : locs)
        xml += QByteArray("<") + item + "><loc>" + loc + "</loc><lastmod>" + lastmod + "</lastmod></" + item + ">\n";
    return xml + "</" + root + ">\n";
}
QByteArray urlset(const QList<QByteArray> &locs, const QByteArray &lastmod = "2024")
{
    return sitemap("urlset", "url", locs, lastmod);
}
QByteArray index(const QList<QByteArray> &locs)
{
    return sitemap("sitemapindex", "sitemap", locs);
}

class SitemapImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(web.start()) << web.lastError().toStdString(); }

    QString url(const QByteArray &path) const { return QString::fromLatin1(web.url(path)); }
    void addGzipFile(const QString &name, const QByteArray &bytes)
    {
        const QByteArray path = QFile::encodeName(web.documentRoot() + QLatin1Char('/') + name);
        gzFile file = gzopen(path.constData(), "wb");
        gzwrite(file, bytes.constData(), unsigned(bytes.size()));
        gzclose(file);
    }
    // "url: n" per row of project 5, n the number of engines the URL is still to go to.
    QStringList rows()
    {
        QString sum = QStringLiteral("E1");
        for (int column = 2; column <= 30; ++column)
            sum += QStringLiteral(" + E%1").arg(column);
        QSqlQuery query(QSqlDatabase::database(table.connectionName()));
        EXPECT_TRUE(
            query.exec(QStringLiteral("select Url, %1 from urls2 where Projectid = 5 order by rowid").arg(sum)));
        QStringList list;
        while (query.next())
            list << QStringLiteral("%1: %2").arg(query.value(0).toString()).arg(query.value(1).toInt());
        return list;
    }
    // A script at /cgi-bin/<name> that redirects to location.
    void addRedirect(const QString &name, const QByteArray &location)
    {
        web.addCgiScript(name, "print \"Status: 302 Found\\r\\nLocation: " + location + "\\r\\n\\r\\n\";");
    }
    QByteArray onLocalhost(const QByteArray &path) const
    {
        return "http://localhost:" + QByteArray::number(web.port()) + path;
    }
    static QStringList texts(const QList<SitemapWarning> &warnings)
    {
        QStringList list;
        for (const SitemapWarning &warning : warnings)
            list << warning.text();
        return list;
    }
    void submitAll()
    {
        for (int column = 1; column <= 30; ++column)
            QSqlQuery(QSqlDatabase::database(table.connectionName()))
                .exec(QStringLiteral("update urls2 set E%1 = 0").arg(column));
    }

    qctest::LighttpdFixture web;
    qctest::ScopedBaseDir dir;
    UrlTable table{dir.path()};
    THTTPClient http;
};

TEST_F(SitemapImportTest, AnIndexBringsInItsSitemapsPlainAndCompressedAndChangedPagesGoAgain)
{
    const QByteArray elsewhere = "http://localhost:" + QByteArray::number(web.port()) + "/pages.xml";
    web.addFile("index.xml", index({web.url("/pages.xml"), web.url("/more.xml.gz"), elsewhere, web.url("/nested.xml"),
                                    web.url("/pages.xml")}));
    web.addFile("pages.xml", urlset({"http://a/", "mailto:x@y", "http://b/"}));
    addGzipFile("more.xml.gz", urlset({"http://c/", "http://a/"}, "1999"));
    web.addFile("nested.xml", index({web.url("/third.xml"), web.url("/deep.xml"), web.url("/pages.xml")}));
    web.addFile("third.xml", urlset({"http://d/"}));
    web.addFile("deep.xml", index({web.url("/pages.xml")}));

    SitemapImport import(http, dir.path());
    SitemapImportResult result = import.importInto(table, 5, url("/index.xml"));
    ASSERT_TRUE(result.readable()) << qPrintable(result.error);
    EXPECT_EQ(result.sitemapsRead, 6);
    EXPECT_EQ(rows(), (QStringList{"http://a/: 30", "http://b/: 30", "http://c/: 30", "http://d/: 30"}));
    QStringList warnings;
    for (const SitemapWarning &warning : result.warnings)
        warnings << warning.text();
    EXPECT_EQ(warnings, (QStringList{url("/pages.xml") + R"(, line 3: not an http:// or https:// URL: "mailto:x@y")",
                                     url("/index.xml") + ", line 4: " + elsewhere +
                                         " is on another host than the index; not read",
                                     url("/nested.xml") + ", line 3: " + url("/deep.xml") +
                                         " is a sitemap index nested more than 2 deep; not read"}));

    // The server's files stay as they are: it may answer from what it knew of them.
    submitAll();
    web.addFile("index2.xml",
                index({web.url("/a2.xml"), web.url("/more.xml.gz"), web.url("/b.xml"), web.url("/third.xml")}));
    web.addFile("a2.xml", urlset({"http://a/"}, "2025"));
    web.addFile("b.xml", urlset({"http://b/"}));
    result = import.importInto(table, 5, url("/index2.xml"));
    ASSERT_TRUE(result.readable()) << qPrintable(result.error);
    EXPECT_EQ(rows(), (QStringList{"http://a/: 30", "http://b/: 0", "http://c/: 0", "http://d/: 0"}));
}

TEST_F(SitemapImportTest, ASitemapThatCannotBeReadChangesNothing)
{
    web.addFile("pages.xml", urlset({"http://a/"}));
    web.addFile("broken.xml", "<urlset><url><loc>http://b/</loc></urlset>");
    web.addFile("far.xml", index({"http://localhost/pages.xml"}));
    const QByteArray answer = "$| = 1; print \"Content-Type: text/xml\\r\\n\\r\\n<urlset>\";\n";
    web.addCgiScript("slow.cgi", "sleep 20;\n" + answer);
    web.addCgiScript("endless.cgi", answer + "my $blanks = ' ' x 65536; for (1 .. 2000) { print $blanks or last; }\n");
    qctest::writeFile(dir.file(QStringLiteral("local.xml")), index({web.url("/pages.xml"), web.url("/broken.xml")}));
    table.replaceProjectUrls(5, {QStringLiteral("http://old/")});
    submitAll();

    const struct
    {
        const char *behaviour;
        QString name;
        QString error;
        // The endless answer must pass 50 MiB before its timeout, however busy the machine.
        int timeoutSeconds = 2;
    } cases[] = {
        {"a local index with a sitemap that is not well-formed", "local.xml",
         url("/broken.xml") + ", line 1, column 34: Opening and ending tag mismatch."},
        {"a missing local file", "missing.xml",
         "Cannot open the sitemap \"" + dir.file("missing.xml") + "\": No such file or directory"},
        {"an answer that is no success", url("/missing.xml"),
         "Cannot fetch the sitemap \"" + url("/missing.xml") + "\": HTTP/1.0 404 Not Found"},
        {"an index whose sitemaps are all elsewhere", url("/far.xml"),
         url("/far.xml") + ": every sitemap it lists is on another host"},
        {"a server that does not finish in time", url("/cgi-bin/slow.cgi"),
         "Cannot fetch the sitemap \"" + url("/cgi-bin/slow.cgi") + "\": no answer within 2 s"},
        {"a server that sends more than any sitemap holds", url("/cgi-bin/endless.cgi"),
         url("/cgi-bin/endless.cgi") + ": more than 50 MiB of XML; a sitemap holds at most 50 MiB uncompressed", 120},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        SitemapImport import(http, dir.path(), c.timeoutSeconds);
        const SitemapImportResult result = import.importInto(table, 5, c.name);
        EXPECT_EQ(result.error, c.error);
        EXPECT_TRUE(result.entries.isEmpty());
        EXPECT_EQ(rows(), QStringList{"http://old/: 0"});
    }
}

TEST_F(SitemapImportTest, AnIndexBehindARedirectReadsTheSitemapsOnTheHostItLandsOn)
{
    // localhost and 127.0.0.1 are one server under two host names.
    addRedirect("index.cgi", web.url("/index.xml"));
    addRedirect("away.cgi", onLocalhost("/pages.xml"));
    addRedirect("again.cgi", web.url("/pages.xml"));
    web.addFile("index.xml", index({web.url("/pages.xml"), onLocalhost("/pages.xml"), web.url("/cgi-bin/away.cgi"),
                                    web.url("/cgi-bin/again.cgi")}));
    web.addFile("pages.xml", urlset({"http://a/", "http://b/"}, "yesterday"));

    SitemapImport import(http, dir.path());
    const SitemapImportResult result =
        import.importInto(table, 5, QString::fromLatin1(onLocalhost("/cgi-bin/index.cgi")));
    ASSERT_TRUE(result.readable()) << qPrintable(result.error);
    EXPECT_EQ(rows(), (QStringList{"http://a/: 30", "http://b/: 30"}));
    EXPECT_EQ(result.sitemapsRead, 2);
    const QString index = QString::fromLatin1(onLocalhost("/cgi-bin/index.cgi"));
    EXPECT_EQ(result.lastmodNotice, url("/pages.xml") + R"(, line 2: 2 lastmod values are no W3C datetime )"
                                                        R"((the first: "yesterday"); they are compared as text)");
    EXPECT_EQ(
        texts(result.warnings),
        (QStringList{index + ", line 3: " + onLocalhost("/pages.xml") + " is on another host than the index; not read",
                     index + ", line 4: " + url("/cgi-bin/away.cgi") + " is redirected to " +
                         onLocalhost("/pages.xml") + ", on another host than the index; not read"}));
}

TEST_F(SitemapImportTest, SeveralSitemapsAreOneImportAndAnImportWithoutPagesIsRefused)
{
    web.addFile("one.xml", urlset({"http://a/", "http://b/"}, "2024"));
    web.addFile("two.xml", urlset({"http://b/", "http://c/"}, "2025"));
    web.addFile("empty.xml", urlset({}));
    web.addFile("rejected.xml", urlset({"mailto:x@y", "ftp://f/"}));
    web.addFile("self.xml", index({web.url("/self.xml")}));
    web.addFile("read.xml", index({web.url("/one.xml")}));
    table.replaceProjectUrls(5, {QStringLiteral("http://old/")});
    submitAll();

    const QString left = QStringLiteral("; the project's URLs are left as they are");
    const struct
    {
        const char *behaviour;
        QStringList names;
        QString error;
    } refused[] = {
        {"one of several fails",
         {url("/one.xml"), url("/gone.xml")},
         "Cannot fetch the sitemap \"" + url("/gone.xml") + "\": HTTP/1.0 404 Not Found"},
        {"an empty urlset",
         {url("/empty.xml")},
         "The sitemap " + url("/empty.xml") + " holds no valid URL: it lists no page" + left},
        {"every entry passed over",
         {url("/rejected.xml")},
         "The sitemap " + url("/rejected.xml") + " holds no valid URL: every entry was passed over" + left},
        {"an index of itself",
         {url("/self.xml")},
         "The sitemap " + url("/self.xml") +
             " holds no valid URL: no sitemap it lists was read (it lists only itself, sitemaps already read, or "
             "indexes nested too deep)" +
             left},
        {"several without pages",
         {url("/empty.xml"), url("/rejected.xml")},
         "The sitemaps " + url("/empty.xml") + ", " + url("/rejected.xml") +
             " hold no valid URL: every entry was passed over" + left},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.behaviour);
        SitemapImport import(http, dir.path());
        const SitemapImportResult result = import.importInto(table, 5, c.names);
        EXPECT_EQ(result.error, c.error);
        EXPECT_TRUE(result.entries.isEmpty());
        EXPECT_EQ(rows(), QStringList{"http://old/: 0"});
    }

    SitemapImport import(http, dir.path());
    const SitemapImportResult result =
        import.importInto(table, 5, {url("/one.xml"), url("/two.xml"), url("/read.xml")});
    ASSERT_TRUE(result.readable()) << qPrintable(result.error);
    EXPECT_EQ(result.sitemapsRead, 3);
    ASSERT_EQ(result.entries.size(), 3);
    EXPECT_EQ(result.entries.at(1).lastmod, "2024") << "the first entry of a URL stands";
    EXPECT_EQ(rows(), (QStringList{"http://a/: 30", "http://b/: 30", "http://c/: 30"}));
}

} // namespace

namespace {

TEST_F(SitemapImportTest, MoreThanAThousandSitemapsAreRefusedBeforeOneIsFetched)
{
    QByteArray robots = "User-agent: *\n";
    QList<QByteArray> listed;
    for (int i = 0; i <= SitemapImport::MaxSitemaps; ++i) {
        listed << web.url("/s" + QByteArray::number(i) + ".xml");
        robots += "Sitemap: " + listed.last() + "\n";
    }
    web.addFile("robots.txt", robots);
    web.addFile("index.xml", index(listed));
    table.replaceProjectUrls(5, {QStringLiteral("http://old/")});
    const QString left = QStringLiteral("; the project's URLs are left as they are");
    const struct
    {
        QString argument;
        QString error;
    } cases[] = {
        {url("/"), "1001 sitemaps to read in one import, more than 1000" + left},
        {url("/index.xml"), url("/index.xml") + " lists sitemaps past the 1000 one import reads" + left},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        SitemapImport import(http, dir.path());
        EXPECT_EQ(import.importInto(table, 5, c.argument).error, c.error);
        EXPECT_EQ(rows(), QStringList{"http://old/: 30"});
    }
}

TEST_F(SitemapImportTest, ASiteRootOrItsRobotsTxtStandsForTheSitemapsItNames)
{
    web.addFile("pages.xml", urlset({"http://a/", "http://b/"}));
    web.addFile("blog.xml", urlset({"http://c/"}));
    web.addFile("robots.txt", "User-agent: *\nDisallow: /private/\nSitemap: " + web.url("/pages.xml") +
                                  "\nsitemap: " + web.url("/blog.xml") + "\nSitemap: /relative.xml\n");
    const QStringList found{url("/pages.xml"), url("/blog.xml")};
    for (const QString &argument : {url("/"), url(""), url("/robots.txt")}) {
        SCOPED_TRACE(argument.toStdString());
        SitemapImport import(http, dir.path());
        const SitemapImportResult result = import.importInto(table, 5, argument);
        ASSERT_TRUE(result.readable()) << qPrintable(result.error);
        EXPECT_EQ(result.sitemaps, found);
        EXPECT_EQ(rows(), (QStringList{"http://a/: 30", "http://b/: 30", "http://c/: 30"}));
        // Search Console is given the sitemaps, not the robots.txt.
        EXPECT_EQ(EngineState(table).sitemaps(5), found);
    }

    // A robots.txt naming none, or none at all, changes nothing.
    web.addFile("robots.txt", "User-agent: *\nDisallow:\n");
    SitemapImport import(http, dir.path());
    EXPECT_EQ(import.importInto(table, 5, url("/")).error,
              "The robots.txt " + url("/robots.txt") + " names no sitemap");
    QFile::remove(web.documentRoot() + "/robots.txt");
    EXPECT_TRUE(import.importInto(table, 5, QStringList{url("/blog.xml"), url("/robots.txt")})
                    .error.startsWith("The robots.txt " + url("/robots.txt") + " "));
    EXPECT_EQ(rows(), (QStringList{"http://a/: 30", "http://b/: 30", "http://c/: 30"}));
    EXPECT_EQ(EngineState(table).sitemaps(5), found);
}

} // namespace
