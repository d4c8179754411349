#pragma once

#include <QAbstractFileIconProvider>

// Icons and type names for the file dialogs, judged by the file's name alone.
// Qt's own provider sniffs a file's content to guess its type, and so opens and
// closes every file the dialog lists; in the base directory that includes the
// URL table's database and its write-ahead log, and closing any descriptor of
// those files drops every POSIX lock the process holds on them, SQLite's
// included. Going by name, the dialog never opens a listed file.
class FileNameIcons : public QAbstractFileIconProvider
{
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;
};
