// Whole reports, every row with hostile values, must stay valid documents that carry
// no markup or script from outside; tidy judges the markup.

#include "runs/report.h"
#include "runs/run.h"
#include "runs/searchreport.h"
#include "support/tempdir.h"

#include <QBuffer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Hostile = QStringLiteral("http://a.b/x?\"' onerror=\"alert(1)\"><script>alert(2)</script>&amp;\x01\x1b"
                                       "\u0085\u00e9 y");
const QString ScriptUrl = QStringLiteral("javascript:alert(3)");

ReportContext hostileContext()
{
    ReportContext context;
    context.ProjectFile = Hostile;
    context.HomePageURL = ScriptUrl;
    context.ReportImageFile = Hostile;
    context.AppTitle = Hostile;
    context.DateText = Hostile;
    context.TimeText = Hostile;
    context.ResponseFileName = Hostile;
    return context;
}

QByteArray hostileSubmissionReport()
{
    QBuffer report;
    report.open(QIODevice::WriteOnly);
    const ReportContext context = hostileContext();
    WriteReport(report, ReportHeader, QString(), context);
    WriteReport(report, ReportEngineHeading, Hostile, context);
    WriteReport(report, ReportURLRow, Hostile, context);
    const QString rows[] = {
        skippedEngineReportRow(Hostile),
        stoppedReportRow(),
        timeoutReportRow(Hostile),
        errorAccessingReportRow(Hostile, Hostile),
        acceptedReportRow(ScriptUrl, Hostile, true),
        failureReportRow(Hostile, Hostile, Hostile, Hostile, true),
        failureReportRow(Hostile, Hostile, Hostile, QString(), false),
        redirectionReportRow(Hostile, ScriptUrl),
        redirectionReportRow(Hostile, Hostile, ScriptUrl, true),
        disabledReportRow(Hostile),
        skippedReportRow(Hostile),
        engineListProblemReportRow(Hostile),
        notSentReportRow(Hostile, Hostile),
        indexNowReportRow({Hostile, ScriptUrl}, Hostile, Hostile, Hostile, true),
        noticeReportRow(Hostile),
    };
    for (const QString &row : rows)
        WriteReport(report, ReportText, row, context);
    EngineTally failed{.engine = Hostile, .chosen = true, .sent = 1, .failed = 1};
    failed.firstFailure = Hostile;
    EngineTally broken{.engine = Hostile, .chosen = true};
    broken.listProblem = Hostile;
    WriteReportFooter(report, {failed, broken});
    return report.data();
}

QByteArray hostileSearchReport(const QString &path)
{
    {
        SearchReport report;
        EXPECT_TRUE(report.open(path, hostileContext()));
        report.engine(Hostile);
        report.listed(Hostile, Hostile);
        report.notListed(ScriptUrl, Hostile, true);
        report.notAsked(Hostile, Hostile, ScriptUrl);
        report.engineNotAsked(Hostile + "2", Hostile);
        report.stopped();
        report.finish({{.engine = Hostile, .chosen = true, .sent = 3, .accepted = 1, .notListed = 1},
                       {.engine = Hostile + "2", .chosen = true, .unsearchable = true}});
    }
    return qctest::readFile(path);
}

TEST(ReportValidity, OutsideValuesBringNoMarkupScriptOrControlCharacters)
{
    QTemporaryDir dir;
    const struct
    {
        const char *report;
        QByteArray bytes;
    } cases[] = {
        {"submission", hostileSubmissionReport()},
        {"search", hostileSearchReport(dir.filePath("SearchLog.htm"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        const QString text = QString::fromUtf8(c.bytes);
        EXPECT_FALSE(text.contains("<script", Qt::CaseInsensitive));
        EXPECT_FALSE(text.contains("onerror=\""));
        EXPECT_FALSE(text.contains("=\"javascript:"));
        EXPECT_FALSE(text.contains(QRegularExpression("[\\x00-\\x08\\x0b\\x0c\\x0e-\\x1f\\x7f-\\x9f]")));
        EXPECT_TRUE(text.contains("&lt;script&gt;alert(2)&lt;/script&gt;&amp;amp;\uFFFD\uFFFD\uFFFD\u00e9 y"))
            << "the values are still shown";
    }
}

TEST(ReportValidity, TidyFindsNothingToFix)
{
    const QString tidy = QStandardPaths::findExecutable("tidy");
    if (tidy.isEmpty())
        GTEST_SKIP() << "tidy is not installed (scripts/setup-deps installs it)";
    QTemporaryDir dir;
    qctest::writeFile(dir.filePath("StatusLog.htm"), hostileSubmissionReport());
    hostileSearchReport(dir.filePath("SearchLog.htm"));
    const QString files[] = {
        dir.filePath("StatusLog.htm"),
        dir.filePath("SearchLog.htm"),
        qctest::sourcePath("tests/data/report/one_engine_one_url.htm"),
        qctest::sourcePath("tests/data/report/every_row.htm"),
        qctest::sourcePath("tests/data/report/search.htm"),
    };
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tidy, {"-errors", "-quiet", file});
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(process.readAll().toStdString(), "");
    }
}

} // namespace
