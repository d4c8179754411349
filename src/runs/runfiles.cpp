#include "runs/runfiles.h"

#include <QDir>
#include <QFile>

QString ResponseFileNameFor(int counter)
{
    return QStringLiteral("PR_") + QString::number(counter) + QStringLiteral(".htm");
}

QString SearchResponseFileNameFor(int counter)
{
    return QStringLiteral("SRCH_") + QString::number(counter) + QStringLiteral(".htm");
}

QString SearchLogFileName(const QString &engine)
{
    constexpr qsizetype MaxNameBytes = 200;
    QString safe;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < engine.size(); ++i) {
        QString piece = engine.at(i);
        const char16_t c = engine.at(i).unicode();
        if (engine.at(i).isHighSurrogate() && i + 1 < engine.size() && engine.at(i + 1).isLowSurrogate())
            piece += engine.at(++i);
        else if (c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || engine.at(i).isSurrogate())
            piece = QStringLiteral("_");
        const qsizetype length = piece.toUtf8().size();
        if (bytes + length > MaxNameBytes)
            break;
        bytes += length;
        safe += piece;
    }
    return QStringLiteral("None_") + safe + QStringLiteral(".txt");
}

int DeleteRunFiles(const QString &dir, const QString &prefix)
{
    // An empty path would name the current directory.
    QDir directory(dir);
    if (dir.isEmpty() || !directory.exists())
        return 0;
    int removed = 0;
    const QStringList names =
        directory.entryList({prefix + QStringLiteral("*.*")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names)
        if (directory.remove(name))
            ++removed;
    return removed;
}
