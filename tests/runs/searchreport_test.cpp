#include "runs/run.h"
#include "runs/searchreport.h"
#include "support/tempdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ReportContext fixedContext()
{
    ReportContext context;
    context.ProjectFile = "/home/ann/sites/shop.qlc";
    context.HomePageURL = "http://quillcast.example/quillcast";
    context.ReportImageFile = "quillcast.jpg";
    context.AppTitle = "Quillcast";
    context.DateText = "07/12/2026";
    context.TimeText = "08:30:15";
    return context;
}

TEST(SearchReport, EveryRowAndTheSummaryMatchTheGoldenFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("SearchLog.htm");
    {
        SearchReport report;
        ASSERT_TRUE(report.open(path, fixedContext()));
        report.engine("Finder");
        report.listed("http://shop.example/", "SRCH_0.htm");
        report.notListed("http://shop.example/new.html", "SRCH_1.htm");
        report.notAsked("http://shop.example/slow.html", "timed out");
        report.notListed("http://shop.example/big.html", "SRCH_3.htm", true);
        report.notAsked("http://shop.example/oops.html", "HTTP/1.0 500 Oops", "SRCH_4.htm");
        report.listed("http://shop.example/old.html", "");
        report.engineNotAsked("Blind", "its engine list entry has no search form");
        report.engine("Poster");
        report.listed("http://shop.example/", "SRCH_12.htm");
        report.stopped();
        report.finish(
            {{.engine = "Finder", .chosen = true, .sent = 6, .accepted = 4, .failed = 1, .timedOut = 1, .notListed = 2},
             {.engine = "Blind", .chosen = true, .unsearchable = true},
             {.engine = "Poster", .chosen = true, .sent = 1, .accepted = 1, .skipped = 5},
             {.engine = "Idle", .chosen = false}});
        EXPECT_FALSE(report.isOpen());
        report.engine("Late"); // after the end nothing more is written
    }
    EXPECT_EQ(qctest::readFile(path), qctest::readFile(qctest::sourcePath("tests/data/report/search.htm")));
}

TEST(SearchReport, AnUnfinishedReportStillEndsItsDocument)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("SearchLog.htm");
    {
        SearchReport report;
        ASSERT_TRUE(report.open(path, fixedContext()));
        report.engine("Finder");
        report.notListed("http://shop.example/new.html", "SRCH_0.htm");
    }
    const QByteArray written = qctest::readFile(path);
    EXPECT_TRUE(written.contains("<tr><th colspan=2 class=\"group\">Not listed: 1</th></tr>\r\n<tr><td><a "
                                 "href=\"http://shop.example/new.html\" target=newbie>"));
    EXPECT_TRUE(written.endsWith("</table>\r\n\r\n</body>\r\n</html>\r\n\r\n")) << written.toStdString();
    EXPECT_FALSE(written.contains("Summary"));
}

TEST(SearchReport, AFileThatCannotBeOpenedGetsNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/SearchLog.htm");
    SearchReport report;
    EXPECT_FALSE(report.open(path, fixedContext()));
    report.engine("Finder");
    report.listed("http://shop.example/", "SRCH_0.htm");
    report.finish({});
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
