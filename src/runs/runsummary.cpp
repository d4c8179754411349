#include "runs/runsummary.h"

bool anyRequestFailed(const QList<EngineTally> &tally)
{
    for (const EngineTally &engine : tally)
        if (engine.failed > 0 || engine.timedOut > 0 || engine.keyMissing > 0)
            return true;
    return false;
}

QString RunSummary(const QList<EngineTally> &submission, const QList<EngineTally> &search, const QStringList &notices)
{
    QString text;
    for (const QString &notice : notices)
        text += notice + u'\n';
    bool heading = false;
    for (const EngineTally &e : submission) {
        if (!e.chosen)
            continue;
        if (!heading)
            text += QStringLiteral("Submission:\n");
        heading = true;
        text += QStringLiteral("  %1: %2 sent, %3 accepted, %4 failed, %5 timed out, %6 skipped by the limit")
                    .arg(e.engine)
                    .arg(e.sent)
                    .arg(e.accepted)
                    .arg(e.failed)
                    .arg(e.timedOut)
                    .arg(e.limited);
        if (e.keyMissing > 0)
            text += QStringLiteral(", %1 not sent for want of a published IndexNow key").arg(e.keyMissing);
        text += u'\n';
    }
    heading = false;
    for (const EngineTally &e : search) {
        if (!e.chosen)
            continue;
        if (!heading)
            text += QStringLiteral("Search:\n");
        heading = true;
        if (e.unsearchable) {
            text += QStringLiteral("  %1: could not be asked (its engine list entry has no search form)\n").arg(e.engine);
            continue;
        }
        text += QStringLiteral("  %1: %2 asked, %3 not listed, %4 failed, %5 timed out\n")
                    .arg(e.engine)
                    .arg(e.sent)
                    .arg(e.notListed)
                    .arg(e.failed)
                    .arg(e.timedOut);
    }
    return text;
}
