#include "runs/report.h"

#include "runs/enginetally.h"

#include <QFileDevice>
#include <QIODevice>

using ReportHtml::escaped;
using ReportHtml::linkTarget;

namespace {

// Browsers drop blanks and control characters around and inside a link's scheme, so
// the scheme is judged on what is left of them.
bool hasScriptScheme(const QString &url)
{
    QString scheme;
    for (const QChar c : url) {
        if (c.unicode() <= 0x20)
            continue;
        if (c == u':')
            break;
        scheme += c.toLower();
        if (scheme.size() > 10)
            return false;
    }
    return scheme == u"javascript" || scheme == u"vbscript" || scheme == u"data";
}

QString wideRow(const QString &content)
{
    return QStringLiteral("<tr>\n<td colspan=2>\n\t%1\n</td>\n</tr>\n\n").arg(content);
}

QString answerLink(const QString &answerFile)
{
    if (answerFile.isEmpty())
        return QStringLiteral("No answer was saved");
    return QStringLiteral("<a href=\"%1\" target=newbie>View Server Response</a>").arg(linkTarget(answerFile));
}

QString cutNote(bool answerCut)
{
    return answerCut ? QStringLiteral(" (answer cut at 16 MiB)") : QString();
}

QString urlRow(const QString &url, const QString &answerFile, bool answerCut)
{
    return QStringLiteral("<tr>\n") +
           QStringLiteral("<td>\n\t<a href=\"%1\" target=newbie>%2</a>\n</td>\n\n").arg(linkTarget(url), escaped(url)) +
           QStringLiteral("<td>\n\t%1%2\n</td>\n").arg(answerLink(answerFile), cutNote(answerCut)) +
           QStringLiteral("</tr>\n\n");
}

const char StyleSheet[] = R"(<style>
body { background: white; color: black; font-family: sans-serif; margin: 1em 2em; }
a:link { color: blue; }
a:visited { color: purple; }
a:active { color: red; }
header { text-align: center; }
h1 { font-size: 1.25em; overflow-wrap: anywhere; }
h2 { font-size: 1.1em; text-align: center; }
table { border-collapse: collapse; margin: 1em auto; }
th, td { border: 1px solid #888; padding: 0.25em 0.6em; text-align: left; overflow-wrap: anywhere; }
thead th { background: #ddd; }
tbody th { background: #e4e8f4; text-align: center; }
tbody th.group { background: #f4f4f4; font-weight: normal; font-style: italic; text-align: left; }
.summary td + td { text-align: right; }
.summary td[colspan], .summary td:nth-child(10) { text-align: left; }
.legend { font-size: 0.9em; max-width: 50em; margin: 0 auto; }
</style>
)";

} // namespace

namespace ReportHtml {

QString escaped(const QString &text)
{
    // Control characters (NUL included) from URLs, engine names or answers never
    // reach the report raw: each becomes U+FFFD. A tab stays.
    QString clean = text;
    for (QChar &c : clean)
        if ((c.unicode() < 0x20 && c != u'\t') || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = QChar::ReplacementCharacter;
    return clean.toHtmlEscaped();
}

QString linkTarget(const QString &url)
{
    if (hasScriptScheme(url))
        return QStringLiteral("about:blank");
    QString target;
    for (const char c : url.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>')
            target += QStringLiteral("%%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        else
            target += QLatin1Char(c);
    }
    return target.toHtmlEscaped();
}

QString answerCell(const QString &answerFile, bool answerCut)
{
    return answerLink(answerFile) + cutNote(answerCut);
}

QString documentStart(const QString &title, const QString &heading, const ReportContext &context)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n") +
           QStringLiteral("<title>%1</title>\n").arg(escaped(title)) + QLatin1String(StyleSheet) +
           QStringLiteral("</head>\n<body>\n\n<header>\n") +
           QStringLiteral("<a href=\"%1\"><img src=\"../../%2\" alt=\"%3 Home\"></a>\n")
               .arg(linkTarget(context.HomePageURL), linkTarget(context.ReportImageFile), escaped(context.AppTitle)) +
           QStringLiteral("<h1>%1</h1>\n</header>\n\n").arg(escaped(heading)) +
           QStringLiteral("<p>Date: %1<br>\n").arg(escaped(context.DateText)) +
           QStringLiteral("Time: %1</p>\n<hr>\n\n").arg(escaped(context.TimeText)) +
           QStringLiteral("<table class=\"log\">\n<thead><tr><th>URL</th><th>Server response</th></tr></thead>\n\n");
}

QString engineHeading(const QString &engine)
{
    return QStringLiteral("<tr><th colspan=2>%1</th></tr>\n\n").arg(escaped(engine));
}

QString documentEnd(const QString &summary)
{
    return QStringLiteral("</table>\n\n") + summary + QStringLiteral("</body>\n</html>\n\n");
}

QString summaryRow(const QStringList &cells)
{
    QString row = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        row += QStringLiteral("<td>%1</td>").arg(cell);
    return row + QStringLiteral("</tr>\n");
}

QString summaryTable(const QStringList &columns, const QString &rows)
{
    QString table = QStringLiteral("<h2>Summary</h2>\n<table class=\"summary\">\n<thead><tr>");
    for (const QString &column : columns)
        table += QStringLiteral("<th>%1</th>").arg(column);
    return table + QStringLiteral("</tr></thead>\n") + rows + QStringLiteral("</table>\n\n");
}

bool write(QIODevice &file, QString piece)
{
    if (!file.isOpen() || !file.isWritable())
        return true;
    piece.replace(u'\n', QStringLiteral("\r\n")); // the report is a text file with CR LF line ends
    const QByteArray bytes = piece.toUtf8();
    if (file.write(bytes) != bytes.size())
        return false;
    // A file buffers what it is given: a full disk shows only when the buffer goes out.
    auto *onDisk = qobject_cast<QFileDevice *>(&file);
    return !onDisk || onDisk->flush();
}

} // namespace ReportHtml

bool WriteReport(QIODevice &file, int kind, const QString &text, const ReportContext &context)
{
    switch (kind) {
    case ReportHeader:
        return ReportHtml::write(file, ReportHtml::documentStart(context.ProjectFile, context.ProjectFile, context));
    case ReportEngineHeading:
        return ReportHtml::write(file, ReportHtml::engineHeading(text));
    case ReportURLRow:
        return ReportHtml::write(file, urlRow(text, context.ResponseFileName, false));
    case ReportText:
        return ReportHtml::write(file, text);
    case ReportFooter:
        return ReportHtml::write(file, ReportHtml::documentEnd(QString()));
    }
    return true;
}

namespace {

// What the page checks kept back and announced, under the legend; "" for a run without them,
// so the summary of such a run stays as it was.
QString pageCheckSummary(const QList<EngineTally> &tally)
{
    QStringList parts;
    for (const EngineTally &e : tally) {
        if (!e.chosen || e.notIndexable + e.unchanged + e.departedAnnounced + e.departedRefused == 0)
            continue;
        parts << QStringLiteral("%1: %2 not submitted (may not be indexed), %3 unchanged, %4 pages that went away "
                                "announced, %5 to announce again")
                     .arg(escaped(e.engine))
                     .arg(e.notIndexable)
                     .arg(e.unchanged)
                     .arg(e.departedAnnounced)
                     .arg(e.departedRefused);
    }
    if (parts.isEmpty())
        return {};
    return QStringLiteral("<p class=\"legend\">Page checks: ") + parts.join(QStringLiteral("; ")) +
           QStringLiteral(".</p>\n\n");
}

} // namespace

bool WriteReportFooter(QIODevice &file, const QList<EngineTally> &tally)
{
    QString rows;
    for (const EngineTally &e : tally) {
        if (!e.chosen)
            continue;
        if (!e.listProblem.isEmpty()) {
            rows += QStringLiteral("<tr><td>%1</td><td colspan=9>not asked, its engine list entry is broken: "
                                   "%2</td></tr>\n")
                        .arg(escaped(e.engine), escaped(e.listProblem));
            continue;
        }
        rows += ReportHtml::summaryRow(
            {escaped(e.engine), QString::number(e.sent), QString::number(e.accepted), QString::number(e.failed),
             QString::number(e.timedOut), QString::number(e.skipped), QString::number(e.limited),
             QString::number(e.keyMissing), QString::number(e.disabled), escaped(e.firstFailure)});
    }
    const QStringList columns = {QStringLiteral("Engine"),         QStringLiteral("Sent"),
                                 QStringLiteral("Accepted"),       QStringLiteral("Failed"),
                                 QStringLiteral("Timed out"),      QStringLiteral("Skipped"),
                                 QStringLiteral("Over the limit"), QStringLiteral("Key missing"),
                                 QStringLiteral("Disabled"),       QStringLiteral("First failure")};
    const QString legend = QStringLiteral(
        "<p class=\"legend\">Every count is of URLs; an IndexNow request counts each URL it carried.<br>\n"
        "Sent: went to the engine. Accepted: the engine took them; they are not sent again. "
        "Failed: refused, or no usable answer. Timed out: no answer within the timeout. "
        "Skipped: skipped or stopped by the user. Over the limit: left for the next run by the engine's "
        "QC_MaxSubmit. Key missing: not sent, their host does not publish the IndexNow key. "
        "Disabled: done in an earlier run. First failure: why the first failed URL failed.<br>\n"
        "Failed, timed out, skipped, over the limit and key missing URLs are sent again in the next run.</p>\n\n");
    return ReportHtml::write(file, ReportHtml::documentEnd(rows.isEmpty() ? QString()
                                                                          : ReportHtml::summaryTable(columns, rows) +
                                                                                legend + pageCheckSummary(tally)));
}

QString skippedEngineReportRow(const QString &engine)
{
    return wideRow(QStringLiteral("Skipped engine: ") + escaped(engine));
}

QString stoppedReportRow()
{
    return wideRow(QStringLiteral("Submission project was stopped by the user."));
}

QString timeoutReportRow(const QString &url)
{
    return wideRow(QStringLiteral("Timeout: ") + escaped(url));
}

QString errorAccessingReportRow(const QString &engine, const QString &url)
{
    return wideRow(QStringLiteral("Error accessing: ") + escaped(engine) + QStringLiteral(": ") + escaped(url));
}

QString acceptedReportRow(const QString &url, const QString &answerFile, bool answerCut)
{
    return urlRow(url, answerFile, answerCut);
}

QString failureReportRow(const QString &engine, const QString &url, const QString &reason, const QString &answerFile,
                         bool answerCut)
{
    const QString text = QStringLiteral("Error accessing: ") + escaped(engine) + QStringLiteral(": ") + escaped(url) +
                         QStringLiteral(" (") + escaped(reason) + QStringLiteral(")");
    if (answerFile.isEmpty())
        return wideRow(text);
    return QStringLiteral("<tr>\n<td>\n\t%1\n</td>\n\n<td>\n\t%2%3\n</td>\n</tr>\n\n")
        .arg(text, answerLink(answerFile), cutNote(answerCut));
}

QString redirectionReportRow(const QString &url, const QString &location, const QString &answerFile, bool answerCut)
{
    // Without a saved answer the link leads where the engine sent the user.
    const QString answer =
        answerFile.isEmpty()
            ? QStringLiteral("<a href=\"%1\" target=newbie>View Server Response</a>").arg(linkTarget(location))
            : answerLink(answerFile) + QStringLiteral(" (redirected to <a href=\"%1\" target=newbie>%2</a>)")
                                           .arg(linkTarget(location), escaped(location));
    return QStringLiteral("<tr><td><a href=\"%1\" target=newbie>%2</a></td><td>%3%4</td></tr>\n\n")
        .arg(linkTarget(url), escaped(url), answer, cutNote(answerCut));
}

QString disabledReportRow(const QString &url)
{
    return wideRow(QStringLiteral("Disabled: ") + escaped(url));
}

QString skippedReportRow(const QString &url)
{
    return wideRow(QStringLiteral("Skipped: ") + escaped(url));
}

QString engineListProblemReportRow(const QString &problem)
{
    return wideRow(QStringLiteral("Engine list: ") + escaped(problem));
}

QString notSentReportRow(const QString &url, const QString &reason)
{
    return wideRow(QStringLiteral("Not sent, ") + escaped(reason) + QStringLiteral(": ") + escaped(url));
}

QString notSubmittedReportRow(const QString &url, const QString &reason)
{
    return QStringLiteral("<tr><td><a href=\"%1\" target=newbie>%2</a></td><td>Not submitted: %3</td></tr>\n\n")
        .arg(linkTarget(url), escaped(url), escaped(reason));
}

QString indexNowReportRow(const QStringList &urls, const QString &host, const QString &outcome,
                          const QString &answerFile, bool answerCut)
{
    return batchReportRow(QStringLiteral("IndexNow"), urls, host, outcome, answerFile, answerCut);
}

QString batchReportRow(const QString &label, const QStringList &urls, const QString &site, const QString &outcome,
                       const QString &answerFile, bool answerCut)
{
    QString list;
    for (const QString &url : urls)
        list += QStringLiteral("<li><a href=\"%1\" target=newbie>%2</a></li>\n").arg(linkTarget(url), escaped(url));
    return QStringLiteral("<tr>\n<td>\n\t%1: %2 URLs of %3: %4\n<ul class=\"urls\">\n%5</ul>\n</td>\n\n"
                          "<td>\n\t%6%7\n</td>\n</tr>\n\n")
        .arg(escaped(label), QString::number(urls.size()), escaped(site), escaped(outcome), list,
             answerLink(answerFile), cutNote(answerCut));
}

QString noticeReportRow(const QString &text)
{
    return wideRow(escaped(text));
}
