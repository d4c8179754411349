#include "app/pictures.h"

#include <QDir>
#include <QFile>

static void initPictureResources()
{
    Q_INIT_RESOURCE(pictures);
}

static QString builtIn(const QString &fileName)
{
    // The pictures are compiled into a static library, whose resources must be
    // registered by hand.
    static const bool registered = (initPictureResources(), true);
    Q_UNUSED(registered);
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
