#include "app/pictures.h"

#include <QDir>
#include <QFile>

static QString builtIn(const QString &fileName)
{
    return QStringLiteral(":/pictures/") + fileName;
}

QPixmap LoadPicture(const QString &baseDir, const QString &fileName)
{
    QPixmap picture(QDir(baseDir).filePath(fileName));
    if (picture.isNull())
        picture.load(builtIn(fileName));
    return picture;
}

QIcon LoadIcon(const QString &baseDir, const QString &fileName)
{
    return QIcon(LoadPicture(baseDir, fileName));
}

bool EnsurePictureFile(const QString &dir, const QString &fileName)
{
    const QString target = QDir(dir).filePath(fileName);
    if (QFile::exists(target))
        return true;
    if (!QFile::copy(builtIn(fileName), target))
        return false;
    // Resource copies are read-only; the user's copy should not be.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}
