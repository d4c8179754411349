#include "runs/runrefusal.h"

#include <QSaveFile>

RunRefusal RunRefusal::senderMissing(const QString &field)
{
    return {QStringLiteral("Required Fields Missing"),
            field.isEmpty() ? QStringLiteral("Required Fields:\nFirst,Last Name\nEmail\nBrowser")
                            : QStringLiteral("Required field missing: ") + field};
}

RunRefusal RunRefusal::nothingChosen()
{
    return {QStringLiteral("No engine chosen"),
            QStringLiteral("No engine of the engine list is chosen for this project: tick the engines to submit to "
                           "on the page \"Settings for search engines\".")};
}

RunRefusal RunRefusal::engineListMissing(const QString &path)
{
    return {QStringLiteral("No engine list"), QStringLiteral("There is no engine list to work with: ") + path +
                                                  QStringLiteral(" has no engines, and none could be downloaded.")};
}

RunRefusal RunRefusal::reportNotCreated(const QString &reportPath)
{
    QSaveFile probe(reportPath);
    const QString reason = probe.open(QIODevice::WriteOnly) ? QString() : probe.errorString();
    probe.cancelWriting();
    return {QStringLiteral("Error"),
            QStringLiteral("Unable to create Status Log %1%2")
                .arg(reportPath, reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason)};
}
