#include "runs/report.h"

#include <QIODevice>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
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

QString urlRow(const QString &url, const ReportContext &context)
{
    return QStringLiteral("<tr>\n") +
           QStringLiteral("<td>\n\t<a href=\"%1\" target=newbie>%2</a>\n</td>\n\n").arg(linkTarget(url), escaped(url)) +
           QStringLiteral("<td>\n\t<a href=\"%1\" target=newbie>View Server Response</a>\n</td>\n")
               .arg(linkTarget(context.ResponseFileName)) +
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
        piece = urlRow(text, context);
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

QString redirectionReportRow(const QString &url, const QString &location)
{
    return QStringLiteral("<tr><td><a href=\"%1\" target=newbie>%2</a></td>"
                          "<td><a href=\"%3\" target=newbie>View Server Response</a></td></tr>\n\n")
        .arg(linkTarget(url), escaped(url), linkTarget(location));
}

QString disabledReportRow(const QString &url)
{
    return wideRow(QStringLiteral("Disabled: ") + escaped(url));
}

QString skippedReportRow(const QString &url)
{
    return wideRow(QStringLiteral("Skipped: ") + escaped(url));
}
