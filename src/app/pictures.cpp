#include "app/pictures.h"

#include <QDir>

QPixmap LoadPicture(const QString &baseDir, const QString &fileName)
{
    QPixmap picture(QDir(baseDir).filePath(fileName));
    if (picture.isNull())
        picture.load(BuiltInPicturePath(fileName));
    return picture;
}

QIcon LoadIcon(const QString &baseDir, const QString &fileName)
{
    return QIcon(LoadPicture(baseDir, fileName));
}
