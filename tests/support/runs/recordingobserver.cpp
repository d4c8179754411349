#include "support/runs/recordingobserver.h"

namespace qctest {

QStringList RecordingObserver::texts() const
{
    QStringList all;
    for (const Line &line : lines)
        all.append(line.text);
    return all;
}

QStringList RecordingObserver::texts(StatusKind kind) const
{
    QStringList some;
    for (const Line &line : lines)
        if (line.kind == kind)
            some.append(line.text);
    return some;
}

void RecordingObserver::statusLine(const QString &text, StatusKind kind)
{
    lines.append({text, kind});
    if (onStatus)
        onStatus(text, kind);
}

void RecordingObserver::runProgress(int done, int total)
{
    runSteps.append({done, total});
    if (onRunProgress)
        onRunProgress(done);
}

} // namespace qctest
