#include "runs/runsummary.h"

#include <QRegularExpression>

namespace {

// A network error as its log line numbers it, "10061: [10061] Connection refused" (or
// "[10061] Connection refused"), in the words a mail reader knows: "connection refused (10061)".
QString plainNetworkErrors(QString text)
{
    static const QRegularExpression numbered(QStringLiteral("(?:(\\d+): )?\\[(\\d+)\\] ([^()]+?)(?=$|\\)|;)"));
    QRegularExpressionMatch match;
    qsizetype from = 0;
    while ((match = numbered.match(text, from)).hasMatch()) {
        if (!match.captured(1).isEmpty() && match.captured(1) != match.captured(2)) {
            from = match.capturedEnd();
            continue;
        }
        QString words = match.captured(3);
        if (!words.isEmpty() && (words.size() < 2 || !words.at(1).isUpper()))
            words[0] = words.at(0).toLower();
        const QString plain = words + QStringLiteral(" (") + match.captured(2) + u')';
        text.replace(match.capturedStart(), match.capturedLength(), plain);
        from = match.capturedStart() + plain.size();
    }
    return text;
}

// "; first failure: <why>" for an engine that had one, "" otherwise.
QString firstFailure(const EngineTally &e)
{
    return e.firstFailure.isEmpty() ? QString()
                                    : QStringLiteral("; first failure: ") + plainNetworkErrors(e.firstFailure);
}

// "1 URL", "2 URLs": the summary counts URLs.
QString urls(int count)
{
    return count == 1 ? QStringLiteral("1 URL") : QStringLiteral("%1 URLs").arg(count);
}

} // namespace

bool anyRequestFailed(const QList<EngineTally> &tally)
{
    for (const EngineTally &engine : tally)
        if (engine.failed > 0 || engine.timedOut > 0 || engine.keyMissing > 0 || engine.notChecked > 0 ||
            (engine.chosen && !engine.listProblem.isEmpty()))
            return true;
    return false;
}

QString RunSummary(const QList<EngineTally> &submission, const QList<EngineTally> &search, const QStringList &notices)
{
    QString text;
    for (const QString &notice : notices)
        text += plainNetworkErrors(notice) + u'\n';
    bool heading = false;
    for (const EngineTally &e : submission) {
        if (!e.chosen)
            continue;
        if (!heading)
            text += QStringLiteral("Submission:\n");
        heading = true;
        if (!e.listProblem.isEmpty()) {
            text +=
                QStringLiteral("  %1: not asked, its engine list entry is broken: %2\n").arg(e.engine, e.listProblem);
            continue;
        }
        text += QStringLiteral("  %1: %2 sent, %3 accepted, %4 failed, %5 timed out, %6 left for the next run by the "
                               "engine's limit")
                    .arg(e.engine, urls(e.sent))
                    .arg(e.accepted)
                    .arg(e.failed)
                    .arg(e.timedOut)
                    .arg(e.limited);
        if (e.skipped > 0)
            text += QStringLiteral(", %1 skipped by the user").arg(e.skipped);
        if (e.keyMissing > 0)
            text += QStringLiteral(", %1 not sent for want of a published IndexNow key").arg(e.keyMissing);
        if (e.notIndexable > 0)
            text += QStringLiteral(", %1 not submitted as they may not be indexed").arg(e.notIndexable);
        if (e.unchanged > 0)
            text += QStringLiteral(", %1 not sent again with unchanged content").arg(e.unchanged);
        if (e.notChecked > 0)
            text += QStringLiteral(", %1 could not be checked").arg(e.notChecked);
        if (e.departedAnnounced + e.departedRefused > 0)
            text += QStringLiteral(", %1 pages that went away announced, %2 to announce again")
                        .arg(e.departedAnnounced)
                        .arg(e.departedRefused);
        text += firstFailure(e) + u'\n';
    }
    heading = false;
    for (const EngineTally &e : search) {
        if (!e.chosen)
            continue;
        if (!heading)
            text += QStringLiteral("Search:\n");
        heading = true;
        if (!e.listProblem.isEmpty()) {
            text += QStringLiteral("  %1: could not be asked, its engine list entry is broken: %2\n")
                        .arg(e.engine, e.listProblem);
            continue;
        }
        if (e.unsearchable) {
            text +=
                QStringLiteral("  %1: could not be asked (its engine list entry has no search form)\n").arg(e.engine);
            continue;
        }
        text += QStringLiteral("  %1: %2 asked about, %3 not listed, %4 could not be asked, %5 timed out")
                    .arg(e.engine, urls(e.sent))
                    .arg(e.notListed)
                    .arg(e.failed)
                    .arg(e.timedOut);
        if (e.limited > 0)
            text += QStringLiteral(", %1 wait for the engine's quota").arg(e.limited);
        text += firstFailure(e) + u'\n';
    }
    return text;
}
