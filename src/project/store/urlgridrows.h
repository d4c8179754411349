#pragma once

#include <QString>
#include <optional>

class UrlTable;

// The grid's row operations on the URL table, through the table's connection:
// one row at a time, addressed by rowid, as a record set edits. A row appended
// here belongs to the project of the table's filter (no project without one). The flag column, when
// given, must be E1 ... E30 (UrlTableError otherwise, nothing written).
//
// Each call writes (throwing UrlTableError "Unable to write to ..." like the
// table's own writes; a row that went meanwhile is no failure) and the table
// announces it: appendRow() and deleteRow() with UrlTable::viewChanged(),
// updateRow() with UrlTable::rowsChanged(); then afterPost() or afterDelete().
// The table must outlive this object.
class UrlGridRows
{
public:
    explicit UrlGridRows(UrlTable &table) : m_table(table) {}

    // Returns the new row's rowid.
    qint64 appendRow(const std::optional<QString> &url, const QString &flagColumn, std::optional<bool> flag);
    // Sets what is given; with neither a URL nor a flag nothing is written.
    void updateRow(qint64 rowId, const std::optional<QString> &url, const QString &flagColumn,
                   std::optional<bool> flag);
    void deleteRow(qint64 rowId);

private:
    UrlTable &m_table;
};
