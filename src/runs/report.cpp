#include "runs/report.h"

#include <QIODevice>

namespace {

// Control characters (NUL included) from URLs, engine names or answers never
// reach the report raw: each becomes U+FFFD. A tab stays.
QString escaped(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            c = QChar::ReplacementCharacter;
    return clean.toHtmlEscaped();
}

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

QString linkTarget(const QString &url)
{
    return hasScriptScheme(url) ? QStringLiteral("about:blank") : escaped(url);
}

QString wideRow(const QString &content)
{
    return QStringLiteral("<tr>\n<td colspan=2>\n\t%1\n</td>\n</tr>\n\n").arg(content);
}

QString header(const ReportContext &context)
{
    return QStringLiteral("<html>\n") +
           QStringLiteral("<body bgcolor=white text=black link=blue vlink=purple alink=red>\n\n") +
           QStringLiteral("<title>%1</title>\n\n").arg(escaped(context.ProjectFile)) + QStringLiteral("<center>\n\n") +
           QStringLiteral("<a href=\"%1\"><img src=\"../../%2\" border=0 alt=\"%3 Home\"></a><p>\n\n")
               .arg(linkTarget(context.HomePageURL), escaped(context.ReportImageFile), escaped(context.AppTitle)) +
           QStringLiteral("<h3>%1</h3>\n").arg(escaped(context.ProjectFile)) + QStringLiteral("</center>\n\n") +
           QStringLiteral("Date: %1<br>\n").arg(escaped(context.DateText)) +
           QStringLiteral("Time: %1<p>\n").arg(escaped(context.TimeText)) + QStringLiteral("<hr><p>\n\n") +
           QStringLiteral("<center><table border=1>\n\n");
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

} // namespace

void WriteReport(QIODevice &file, int kind, const QString &text, const ReportContext &context)
{
    if (!file.isOpen() || !file.isWritable())
        return;
    QString piece;
    switch (kind) {
    case ReportHeader:
        piece = header(context);
        break;
    case ReportEngineHeading:
        piece = QStringLiteral("<tr><td colspan=2 valign=center align=center><b>%1</b></td></tr><p>\n\n")
                    .arg(escaped(text));
        break;
    case ReportURLRow:
        piece = urlRow(text, context.ResponseFileName, false);
        break;
    case ReportText:
        piece = text;
        break;
    case ReportFooter:
        piece = QStringLiteral("</table></center>\n\n</body>\n</html>\n\n");
        break;
    default:
        return;
    }
    piece.replace(u'\n', QStringLiteral("\r\n")); // the report is a text file with CR LF line ends
    file.write(piece.toUtf8());
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
    const QString answer = answerFile.isEmpty()
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
