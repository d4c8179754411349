#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;
struct EngineTally;

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

// Writes one piece of the HTML report: kind 0 the header (the document's head and the
// opening of the table of rows), 1 the heading row of the engine named by text, 3 the row
// of the completed request for the URL in text (with a link to context.ResponseFileName),
// 4 the row markup in text unchanged (build it with the row functions below), 5 the end
// of the table and of the document. Every line feed is written as CR LF, as UTF-8.
// Every value from outside (paths, URLs, names, dates) is HTML-escaped where it lands,
// with its control characters replaced by U+FFFD (percent-encoded in a link target),
// and a link target with a script scheme (javascript:, vbscript:, data:) is written as
// "about:blank", so that nothing in a URL or an engine list can put markup or script
// into the report. The logo is linked as "../../" + ReportImageFile.
//
// Writes nothing for another kind, or when the device is not open for writing (a
// report this run did not open). Returns false only when the device is open for
// writing and did not take the piece (a full disk, say): a file is flushed after
// every piece, so what returned true is in the file.
bool WriteReport(QIODevice &file, int kind, const QString &text, const ReportContext &context);

// Ends the report as kind 5 does, after a summary table of the engines of tally that the
// project chose, counted in URLs: per engine those sent, accepted, failed, timed out,
// skipped by the user, left for the next run by the engine's limit, kept back for want of
// a published IndexNow key and already done, and the first failure's reason; an engine
// whose engine list section is broken says so instead. A legend under the table tells
// what each column means, and, after a run with page checks, a line what the checks kept
// back and which pages that went away were announced. No table when none was chosen.
// Returns as WriteReport().
bool WriteReportFooter(QIODevice &file, const QList<EngineTally> &tally);

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
QString disabledReportRow(const QString &url);                       // "Disabled: " + url
QString engineListProblemReportRow(const QString &problem);          // "Engine list: " + problem
QString skippedReportRow(const QString &url);                        // "Skipped: " + url
QString notSentReportRow(const QString &url, const QString &reason); // "Not sent, " + reason + ": " + url
// The URL, linked, and "Not submitted: " + reason: a page the page check kept back.
QString notSubmittedReportRow(const QString &url, const QString &reason);
// "IndexNow: " + count + " URLs of " + host + ": " + outcome and a list of the URLs the
// request carried, each linked, with the saved answer in a second cell.
QString indexNowReportRow(const QStringList &urls, const QString &host, const QString &outcome,
                          const QString &answerFile, bool answerCut);
// The same for a webmaster API's call standing for many URLs: label (the engine) in place of "IndexNow",
// site in place of the host.
QString batchReportRow(const QString &label, const QStringList &urls, const QString &site, const QString &outcome,
                       const QString &answerFile, bool answerCut);
// A row of the run's own notes that are no failure, e.g. a key file found after a redirect.
QString noticeReportRow(const QString &text);

// What the submission report and the search report share. Pieces use "\n"; write() makes
// the file's CR LF and UTF-8.
namespace ReportHtml {
// Text for an element or an attribute: control characters become U+FFFD, markup is escaped.
QString escaped(const QString &text);
// An href or src value: "about:blank" for a script scheme; otherwise the URL with the bytes a
// URL may not hold raw (blanks, controls, quotes, angle brackets, non-ASCII) percent-encoded
// as a browser would before following it, then escaped. Ordinary URLs stay as they are.
QString linkTarget(const QString &url);
// "View Server Response" linking answerFile, or "No answer was saved"; a note when it was cut.
QString answerCell(const QString &answerFile, bool answerCut);
// From the doctype to the opening of the table of rows: the title, the logo with its link, the
// heading and the context's date and time.
QString documentStart(const QString &title, const QString &heading, const ReportContext &context);
// The heading row of an engine in the table of rows.
QString engineHeading(const QString &engine);
// Closes the table of rows, adds summary (a finished piece, "" for none) and ends the document.
QString documentEnd(const QString &summary);
// A row of the summary table: one cell for each of cells, whose markup is ready.
QString summaryRow(const QStringList &cells);
// The summary's heading and table: a heading cell for each of columns, then rows.
QString summaryTable(const QStringList &columns, const QString &rows);
// Writes a piece with CR LF line ends as UTF-8, and flushes a file; nothing when the device is
// not open for writing. False when the device is open for writing and did not take all of it.
bool write(QIODevice &file, QString piece);
} // namespace ReportHtml
