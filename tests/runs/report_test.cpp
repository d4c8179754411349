#include "runs/report.h"
#include "runs/run.h"
#include "support/tempdir.h"

#include <QBuffer>
#include <QFile>
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
    context.ResponseFileName = "PR_0.htm";
    return context;
}

QByteArray written(int kind, const QString &text, const ReportContext &context = fixedContext())
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteReport(buffer, kind, text, context);
    return buffer.data();
}

TEST(Report, OneEngineOneUrlMatchesTheGoldenFile)
{
    QBuffer report;
    report.open(QIODevice::WriteOnly);
    const ReportContext context = fixedContext();
    WriteReport(report, ReportHeader, QString(), context);
    WriteReport(report, ReportEngineHeading, "Alpha", context);
    WriteReport(report, ReportURLRow, "a.b/x", context);
    WriteReport(report, ReportFooter, QString(), context);
    EXPECT_EQ(report.data(), qctest::readFile(qctest::sourcePath("tests/data/report/one_engine_one_url.htm")));
}

TEST(Report, EveryRowAndTheSummaryMatchTheGoldenFile)
{
    QBuffer report;
    report.open(QIODevice::WriteOnly);
    ReportContext context = fixedContext();
    WriteReport(report, ReportHeader, QString(), context);
    WriteReport(report, ReportEngineHeading, "Alpha", context);
    WriteReport(report, ReportURLRow, "http://shop.example/", context);
    const QString rows[] = {
        acceptedReportRow("http://shop.example/big.html", "PR_1.htm", true),
        redirectionReportRow("http://shop.example/a.html", "http://alpha.example/thanks", "PR_2.htm"),
        redirectionReportRow("http://shop.example/b.html", "http://alpha.example/thanks"),
        failureReportRow("Alpha", "http://shop.example/c.html", "HTTP/1.0 500 Oops", "PR_4.htm", false),
        failureReportRow("Alpha", "http://shop.example/d.html", "connection refused", "", false),
        timeoutReportRow("http://shop.example/e.html"),
        errorAccessingReportRow("Alpha", "http://shop.example/f.html"),
        disabledReportRow("http://shop.example/g.html"),
        skippedReportRow("http://shop.example/h.html"),
        indexNowReportRow({"http://shop.example/i.html", "http://shop.example/<j>.html"}, "shop.example",
                          "key not valid (HTTP/1.1 403 Forbidden)", "PR_5.htm", false),
        noticeReportRow("IndexNow: the key file of shop.example is published at https://www.shop.example/k.txt "
                        "after a redirect; an engine may not follow it"),
    };
    for (const QString &row : rows)
        WriteReport(report, ReportText, row, context);
    WriteReport(report, ReportEngineHeading, "Bravo", context);
    WriteReport(report, ReportText, engineListProblemReportRow("no URL field"), context);
    WriteReport(report, ReportText, skippedEngineReportRow("Bravo"), context);
    WriteReport(report, ReportEngineHeading, "Charlie", context);
    WriteReport(report, ReportText, stoppedReportRow(), context);
    EngineTally alpha{.engine = "Alpha", .chosen = true, .sent = 8, .accepted = 4, .failed = 3, .timedOut = 1};
    alpha.skipped = alpha.disabled = 1;
    alpha.firstFailure = "HTTP/1.0 500 Oops";
    EngineTally bravo{.engine = "Bravo", .chosen = true};
    bravo.listProblem = "engines205.txt, section [Bravo]: the key QC_PostData is missing";
    WriteReportFooter(
        report,
        {alpha, bravo, {.engine = "Charlie", .chosen = true, .skipped = 1}, {.engine = "Delta", .chosen = false}});
    EXPECT_EQ(report.data(), qctest::readFile(qctest::sourcePath("tests/data/report/every_row.htm")));

    QBuffer noneChosen;
    noneChosen.open(QIODevice::WriteOnly);
    WriteReportFooter(noneChosen, {{.engine = "Delta", .chosen = false}});
    EXPECT_EQ(noneChosen.data(), written(ReportFooter, QString())) << "no summary without a chosen engine";
}

TEST(Report, OutcomeRowsFollowTheirTemplates)
{
    const struct
    {
        const char *behaviour;
        QString row;
        QString expected;
    } cases[] = {
        {"skipped engine", skippedEngineReportRow("Alpha"),
         "<tr>\n<td colspan=2>\n\tSkipped engine: Alpha\n</td>\n</tr>\n\n"},
        {"stopped", stoppedReportRow(),
         "<tr>\n<td colspan=2>\n\tSubmission project was stopped by the user.\n</td>\n</tr>\n\n"},
        {"timeout", timeoutReportRow("a.b/x"), "<tr>\n<td colspan=2>\n\tTimeout: a.b/x\n</td>\n</tr>\n\n"},
        {"error accessing", errorAccessingReportRow("Alpha", "a.b/x"),
         "<tr>\n<td colspan=2>\n\tError accessing: Alpha: a.b/x\n</td>\n</tr>\n\n"},
        {"redirection", redirectionReportRow("a.b/x", "http://e.x/thanks"),
         "<tr><td><a href=\"a.b/x\" target=newbie>a.b/x</a></td><td><a href=\"http://e.x/thanks\" "
         "target=newbie>View Server Response</a></td></tr>\n\n"},
        {"redirection with its answer", redirectionReportRow("a.b/x", "http://e.x/thanks", "PR_2.htm"),
         "<tr><td><a href=\"a.b/x\" target=newbie>a.b/x</a></td><td><a href=\"PR_2.htm\" target=newbie>View Server "
         "Response</a> (redirected to <a href=\"http://e.x/thanks\" "
         "target=newbie>http://e.x/thanks</a>)</td></tr>\n\n"},
        {"accepted", acceptedReportRow("a.b/x", "PR_0.htm", false),
         "<tr>\n<td>\n\t<a href=\"a.b/x\" target=newbie>a.b/x</a>\n</td>\n\n<td>\n\t<a href=\"PR_0.htm\" "
         "target=newbie>View Server Response</a>\n</td>\n</tr>\n\n"},
        {"accepted without a body", acceptedReportRow("a.b/x", "", false),
         "<tr>\n<td>\n\t<a href=\"a.b/x\" target=newbie>a.b/x</a>\n</td>\n\n<td>\n\tNo answer was saved\n</td>\n"
         "</tr>\n\n"},
        {"accepted and cut", acceptedReportRow("a.b/x", "PR_0.htm", true),
         "<tr>\n<td>\n\t<a href=\"a.b/x\" target=newbie>a.b/x</a>\n</td>\n\n<td>\n\t<a href=\"PR_0.htm\" "
         "target=newbie>View Server Response</a> (answer cut at 16 MiB)\n</td>\n</tr>\n\n"},
        {"failure with its answer", failureReportRow("Alpha", "a.b/x", "HTTP/1.0 500 Oops", "PR_1.htm", false),
         "<tr>\n<td>\n\tError accessing: Alpha: a.b/x (HTTP/1.0 500 Oops)\n</td>\n\n<td>\n\t<a href=\"PR_1.htm\" "
         "target=newbie>View Server Response</a>\n</td>\n</tr>\n\n"},
        {"failure without an answer", failureReportRow("Alpha", "a.b/x", "no answer", "", false),
         "<tr>\n<td colspan=2>\n\tError accessing: Alpha: a.b/x (no answer)\n</td>\n</tr>\n\n"},
        {"disabled", disabledReportRow("a.b/x"), "<tr>\n<td colspan=2>\n\tDisabled: a.b/x\n</td>\n</tr>\n\n"},
        {"skipped", skippedReportRow("a.b/x"), "<tr>\n<td colspan=2>\n\tSkipped: a.b/x\n</td>\n</tr>\n\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(c.row, c.expected);
    }
    EXPECT_EQ(written(ReportText, timeoutReportRow("a.b/x")),
              "<tr>\r\n<td colspan=2>\r\n\tTimeout: a.b/x\r\n</td>\r\n</tr>\r\n\r\n")
        << "a kind-4 text is written unchanged but for its line ends";
}

TEST(Report, OutsideValuesCannotInjectMarkup)
{
    const QString hostile = "a.b/x\"><script>alert(1)</script>";
    const QString escaped = "a.b/x&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;";

    const QByteArray urlRow = written(ReportURLRow, hostile);
    EXPECT_FALSE(urlRow.contains("<script>"));
    EXPECT_TRUE(urlRow.contains("<a href=\"a.b/x%22%3E%3Cscript%3Ealert(1)%3C/script%3E\" target=newbie>" +
                                escaped.toUtf8() + "</a>"));

    EXPECT_EQ(written(ReportEngineHeading, "<b>Bold & Co</b>"),
              "<tr><th colspan=2>&lt;b&gt;Bold &amp; Co&lt;/b&gt;</th></tr>\r\n\r\n");

    ReportContext context = fixedContext();
    context.ProjectFile = "/home/ann/</title><script>x</script>.qlc";
    const QByteArray header = written(ReportHeader, QString(), context);
    EXPECT_FALSE(header.contains("<script>"));
    EXPECT_TRUE(header.contains("<title>/home/ann/&lt;/title&gt;&lt;script&gt;x&lt;/script&gt;.qlc</title>"));

    const QString rows[] = {
        skippedEngineReportRow(hostile),
        timeoutReportRow(hostile),
        errorAccessingReportRow(hostile, hostile),
        disabledReportRow(hostile),
        skippedReportRow(hostile),
        redirectionReportRow(hostile, hostile),
        redirectionReportRow(hostile, hostile, hostile),
        acceptedReportRow(hostile, hostile, false),
        failureReportRow(hostile, hostile, hostile, hostile, false),
    };
    for (const QString &row : rows) {
        EXPECT_FALSE(row.contains("<script>")) << row.toStdString();
        EXPECT_TRUE(row.contains(escaped)) << row.toStdString();
    }
}

TEST(Report, ScriptLinksAreNeutralised)
{
    for (const char *location : {"javascript:alert(1)", "JavaScript:alert(1)", " java\tscript:alert(1)",
                                 "vbscript:msgbox", "data:text/html,<b>x</b>"}) {
        SCOPED_TRACE(location);
        EXPECT_TRUE(redirectionReportRow("a.b/x", location).contains("<a href=\"about:blank\" target=newbie>View"));
    }
    EXPECT_TRUE(redirectionReportRow("a.b/x", "/thanks?data:x").contains("href=\"/thanks?data:x\""))
        << "only a leading scheme counts";
    EXPECT_TRUE(written(ReportURLRow, "javascript:alert(1)").contains(">javascript:alert(1)</a>"))
        << "the URL is still shown";
}

TEST(Report, LinksHoldOnlyWhatAUrlMayHoldRaw)
{
    const struct
    {
        const char *behaviour;
        QString url;
        QString href;
    } cases[] = {
        {"an ordinary URL stays", "http://a.b/x?y=1#z", "http://a.b/x?y=1#z"},
        {"ampersands are escaped", "http://a.b/?x=1&y=2", "http://a.b/?x=1&amp;y=2"},
        {"blanks and controls are percent-encoded", " http://a.b/x y\x01", "%20http://a.b/x%20y%01"},
        {"quotes and angle brackets too", "http://a.b/\"<'>", "http://a.b/%22%3C'%3E"},
        {"non-ASCII as its UTF-8 bytes", "http://a.b/caf\u00e9", "http://a.b/caf%C3%A9"},
        {"percent signs stay", "http://a.b/a%20b", "http://a.b/a%20b"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(ReportHtml::linkTarget(c.url), c.href);
    }
}

TEST(Report, NothingIsWrittenOutsideAnOpenReport)
{
    QBuffer closed;
    WriteReport(closed, ReportHeader, QString(), fixedContext());
    EXPECT_TRUE(closed.data().isEmpty());

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    WriteReport(readOnly, ReportFooter, QString(), fixedContext());
    EXPECT_TRUE(readOnly.data().isEmpty());

    for (const int kind : {-1, 2, 6})
        EXPECT_TRUE(written(kind, "text").isEmpty()) << kind;
}

TEST(Report, APieceTheDiskDoesNotTakeIsToldAtOnce)
{
    // A file buffers: without a flush per piece the loss would show only at the end of the run.
    QFile full("/dev/full");
    if (!full.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "no /dev/full here";
    EXPECT_FALSE(WriteReport(full, ReportEngineHeading, "Alpha", fixedContext()));
    EXPECT_FALSE(WriteReportFooter(full, {}));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteReport(buffer, ReportEngineHeading, "Alpha", fixedContext()));
}

} // namespace
