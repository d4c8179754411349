#include "runs/searchreport.h"

#include "runs/enginetally.h"

using ReportHtml::escaped;
using ReportHtml::linkTarget;

namespace {

QString urlRow(const QString &url, const QString &note, const QString &answerFile, bool answerCut)
{
    return QStringLiteral("<tr><td><a href=\"%1\" target=newbie>%2</a>%3</td><td>%4</td></tr>\n")
        .arg(linkTarget(url), escaped(url), note, ReportHtml::answerCell(answerFile, answerCut));
}

// " (what the engine says)" after a URL, "" when it says nothing.
QString detailNote(const QString &detail)
{
    return detail.isEmpty() ? QString() : QStringLiteral(" (") + escaped(detail) + QLatin1Char(')');
}

QString wideRow(const QString &text)
{
    return QStringLiteral("<tr><td colspan=2>%1</td></tr>\n").arg(text);
}

QString group(const QString &name, const QStringList &rows)
{
    if (rows.isEmpty())
        return QString();
    return QStringLiteral("<tr><th colspan=2 class=\"group\">%1: %2</th></tr>\n").arg(name).arg(rows.size()) +
           rows.join(QString());
}

} // namespace

SearchReport::~SearchReport()
{
    if (!m_file.isOpen())
        return;
    endSection();
    write(ReportHtml::documentEnd(QString()));
}

bool SearchReport::open(const QString &path, const ReportContext &context)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("Cannot create %1: %2").arg(path, m_file.errorString());
        return false;
    }
    const QString title = QStringLiteral("Search: ") + context.ProjectFile;
    write(ReportHtml::documentStart(title, title, context));
    return true;
}

void SearchReport::engine(const QString &name)
{
    endSection();
    m_inSection = true;
    m_engine = name;
    write(ReportHtml::engineHeading(name));
}

void SearchReport::listed(const QString &url, const QString &answerFile, bool answerCut, const QString &detail)
{
    m_listed << urlRow(url, detailNote(detail), answerFile, answerCut);
}

void SearchReport::notListed(const QString &url, const QString &answerFile, bool answerCut, const QString &detail)
{
    m_notListed << urlRow(url, detailNote(detail), answerFile, answerCut);
}

void SearchReport::notAsked(const QString &url, const QString &reason, const QString &answerFile, bool answerCut)
{
    m_notAsked << urlRow(url, QStringLiteral(" (") + escaped(reason) + QLatin1Char(')'), answerFile, answerCut);
}

void SearchReport::engineNotAsked(const QString &name, const QString &reason)
{
    if (!m_inSection || name != m_engine)
        engine(name);
    write(wideRow(QStringLiteral("Could not be asked: ") + escaped(reason)));
}

void SearchReport::stopped()
{
    endSection();
    write(wideRow(QStringLiteral("The search was stopped by the user.")) + QLatin1Char('\n'));
}

void SearchReport::finish(const QList<EngineTally> &tally)
{
    if (!m_file.isOpen())
        return;
    endSection();
    QString rows;
    for (const EngineTally &e : tally) {
        if (!e.chosen)
            continue;
        if (!e.listProblem.isEmpty()) {
            rows += QStringLiteral("<tr><td>%1</td><td colspan=6>could not be asked, its engine list entry is broken: "
                                   "%2</td></tr>\n")
                        .arg(escaped(e.engine), escaped(e.listProblem));
            continue;
        }
        if (e.unsearchable) {
            rows += QStringLiteral("<tr><td>%1</td><td colspan=6>could not be asked: its engine list entry has no "
                                   "search form</td></tr>\n")
                        .arg(escaped(e.engine));
            continue;
        }
        // Every answer that arrived tells listed or not listed.
        rows += ReportHtml::summaryRow({escaped(e.engine), QString::number(e.sent),
                                        QString::number(qMax(0, e.accepted - e.notListed)),
                                        QString::number(e.notListed), QString::number(e.failed),
                                        QString::number(e.timedOut), QString::number(e.skipped)});
    }
    const QStringList columns = {QStringLiteral("Engine"),     QStringLiteral("Asked"),  QStringLiteral("Listed"),
                                 QStringLiteral("Not listed"), QStringLiteral("Failed"), QStringLiteral("Timed out"),
                                 QStringLiteral("Skipped")};
    write(ReportHtml::documentEnd(rows.isEmpty() ? QString() : ReportHtml::summaryTable(columns, rows)));
    m_file.close();
}

void SearchReport::endSection()
{
    if (!m_inSection)
        return;
    write(group(QStringLiteral("Not listed"), m_notListed) + group(QStringLiteral("Could not be asked"), m_notAsked) +
          group(QStringLiteral("Listed"), m_listed) + QLatin1Char('\n'));
    m_inSection = false;
    m_notListed.clear();
    m_notAsked.clear();
    m_listed.clear();
}

void SearchReport::write(const QString &piece)
{
    if (!m_error.isEmpty())
        return;
    if (!ReportHtml::write(m_file, piece))
        m_error = QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
}
