#pragma once

#include <QByteArray>
#include <QString>

class UrlTable;

// What another program (a cron run in the same directory) may have changed
// since the window last looked: the URL table, told by the change count SQLite
// keeps for other connections' commits, and the project file, told by its
// contents.
class OutsideChanges
{
public:
    // table must outlive this object.
    explicit OutsideChanges(UrlTable &table) : m_table(table) {}

    // The table as it is now counts as seen (-1, to look again next time, when
    // it cannot be read).
    void tableSeen();
    // True once for each change of the table by another connection since it was
    // last seen; false when the table cannot be read now.
    bool tableChanged();
    // The project file at path as it is now counts as seen.
    void fileSeen(const QString &path);
    bool fileChanged(const QString &path) const;

private:
    // Throws UrlTableError when the table cannot be read.
    qint64 tableVersion();

    UrlTable &m_table;
    qint64 m_tableVersion = -1;
    QByteArray m_fileHash; // of the project file as last read or written
};
