#include "platform/filenameicons.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

namespace {

QMimeType typeByName(const QFileInfo &info)
{
    // MatchExtension looks at the name only; the default match reads the file.
    return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
}

} // namespace

QIcon FileNameIcons::icon(IconType type) const
{
    return QAbstractFileIconProvider::icon(type);
}

QIcon FileNameIcons::icon(const QFileInfo &info) const
{
    if (info.isDir())
        return QAbstractFileIconProvider::icon(Folder);
    const QMimeType mime = typeByName(info);
    const QIcon fallback = QAbstractFileIconProvider::icon(File);
    return QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), fallback));
}

QString FileNameIcons::type(const QFileInfo &info) const
{
    if (info.isDir())
        return QStringLiteral("Folder");
    const QMimeType mime = typeByName(info);
    return mime.isDefault() ? QStringLiteral("File") : mime.comment();
}
