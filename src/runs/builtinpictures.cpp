#include "runs/builtinpictures.h"

#include <QDir>
#include <QFile>

// Outside any namespace: the resource's initialiser is a global function.
static void initPictureResources()
{
    Q_INIT_RESOURCE(pictures);
}

QString BuiltInPicturePath(const QString &fileName)
{
    // The pictures are compiled into a static library, whose resources must be
    // registered by hand.
    static const bool registered = (initPictureResources(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/pictures/") + fileName;
}

bool EnsurePictureFile(const QString &dir, const QString &fileName)
{
    const QString target = QDir(dir).filePath(fileName);
    if (QFile::exists(target))
        return true;
    if (!QFile::copy(BuiltInPicturePath(fileName), target))
        return false;
    // Resource copies are read-only; the user's copy should not be.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}
