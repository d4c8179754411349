#pragma once

#include <QString>

class QIODevice;

// What the report takes from the main window besides the text of each piece.
struct ReportContext
{
    QString ProjectFile;      // full path of the project file (title and heading)
    QString HomePageURL;      // the header's logo link
    QString ReportImageFile;  // the logo, in BaseDir: two directories above the report
    QString AppTitle;         // the logo's alt text: AppTitle + " Home"
    QString DateText;         // the run's date in the system's short date format
    QString TimeText;         // the run's time in the system's long time format
    QString ResponseFileName; // "PR_" + n + ".htm": the saved answer a URL row links
};

// The pieces of the report, the kind argument of WriteReport.
enum ReportKind { ReportHeader = 0, ReportEngineHeading = 1, ReportURLRow = 3, ReportText = 4, ReportFooter = 5 };

// Writes one piece of the HTML report: kind 0 the header, 1 the heading row of the
// engine named by text, 3 the row of the completed request for the URL in text (with a
// link to context.ResponseFileName), 4 the row markup in text unchanged (build it with
// the row functions below), 5 the footer. Every line feed is written as CR LF, as UTF-8.
// Every value from outside (paths, URLs, names, dates) is HTML-escaped where it lands,
// with its control characters replaced by U+FFFD,
// and a link target with a script scheme (javascript:, vbscript:, data:) is written as
// "about:blank", so that nothing in a URL or an engine list can put markup or script
// into the report. The logo is linked as "../../" + ReportImageFile.
//
// Writes nothing for another kind, or when the device is not open for writing (a
// report this run did not open). Write errors on the device are not reported.
void WriteReport(QIODevice &file, int kind, const QString &text, const ReportContext &context);

// The kind-4 rows of the run outcomes, with every value escaped.
QString skippedEngineReportRow(const QString &engine); // "Skipped engine: " + engine
QString stoppedReportRow();                            // "Submission project was stopped by the user."
QString timeoutReportRow(const QString &url);          // "Timeout: " + url
QString errorAccessingReportRow(const QString &engine, const QString &url); // "Error accessing: " + engine + ": " + url
// A request the engine accepted: the URL, and "View Server Response" linking the saved answer.
QString acceptedReportRow(const QString &url, const QString &answerFile, bool answerCut);
// "Error accessing: " + engine + ": " + url + " (" + reason + ")", with a link to the
// saved answer in a second cell when one was saved ("" when none was).
QString failureReportRow(const QString &engine, const QString &url, const QString &reason, const QString &answerFile,
                         bool answerCut);
// The URL in the first cell; in the second "View Server Response" linking the saved
// answer and the redirection target, or, without a saved answer, the target alone.
QString redirectionReportRow(const QString &url, const QString &location, const QString &answerFile = QString(),
                             bool answerCut = false);
QString disabledReportRow(const QString &url); // "Disabled: " + url
QString engineListProblemReportRow(const QString &problem); // "Engine list: " + problem
QString skippedReportRow(const QString &url);  // "Skipped: " + url
