#include "project/store/urltablemodel.h"

#include "project/store/urlgridrows.h"
#include "project/store/urltable.h"

namespace {

// Row data read for the grid is kept only for the rows recently shown.
constexpr int CacheLimit = 4096;

} // namespace

UrlTableModel::UrlTableModel(UrlTable &table, QObject *parent) : QAbstractTableModel(parent), m_table(table)
{
    connect(&m_table, &UrlTable::viewChanged, this, [this] {
        if (!m_writing)
            reload();
    });
    // Also during the model's own writes: one may commit a run's flags first.
    connect(&m_table, &UrlTable::rowsChanged, this, &UrlTableModel::rereadValues);
    reload();
}

bool UrlTableModel::setFlagColumn(const QString &column)
{
    QString bound;
    if (!column.isEmpty()) {
        const std::optional<int> number = ProjectQuery::columnNumber(column);
        if (!number)
            return false;
        bound = ProjectQuery::columnName(*number);
    }
    if (bound != m_flagColumn) {
        // A pending flag belongs to the column it was set in.
        if (m_state != State::Browse)
            post();
        m_flagColumn = bound;
        m_cache.clear();
        if (!m_ids.isEmpty())
            emit dataChanged(index(0, FlagColumn), index(m_ids.size() - 1, FlagColumn));
    }
    return true;
}

int UrlTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

int UrlTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

const UrlTableModel::RowData &UrlTableModel::rowData(qint64 rowId) const
{
    auto it = m_cache.constFind(rowId);
    if (it != m_cache.constEnd())
        return it.value();
    if (m_cache.size() >= CacheLimit)
        m_cache.clear();
    RowData row;
    if (rowId >= 0) {
        try {
            row.url = m_table.url(rowId);
            if (!m_flagColumn.isEmpty())
                row.flag = m_table.flag(rowId, m_flagColumn).value_or(false);
        } catch (const UrlTableError &) {
            // A row that cannot be read shows empty; the next refresh reports the database.
        }
    }
    return m_cache.insert(rowId, row).value();
}

QVariant UrlTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_ids.size())
        return {};
    const bool pending = index.row() == pendingRow();
    const RowData &row = rowData(m_ids.at(index.row()));
    if (index.column() == UrlColumn && (role == Qt::DisplayRole || role == Qt::EditRole))
        return pending && m_pendingUrl ? *m_pendingUrl : row.url;
    if (index.column() == FlagColumn && role == Qt::CheckStateRole && !m_flagColumn.isEmpty()) {
        const bool flag = pending && m_pendingFlag ? *m_pendingFlag : row.flag;
        return flag ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

bool UrlTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_ids.size())
        return false;
    const bool isUrl = index.column() == UrlColumn && role == Qt::EditRole;
    const bool isFlag = index.column() == FlagColumn && role == Qt::CheckStateRole && !m_flagColumn.isEmpty();
    if (!isUrl && !isFlag)
        return false;
    int row = index.row();
    if (row != pendingRow()) {
        if (!edit(row))
            return false;
        row = pendingRow();
    }
    if (isUrl)
        m_pendingUrl = UrlTable::storedText(value.toString());
    else
        m_pendingFlag = value.toInt() == Qt::Checked;
    emit dataChanged(this->index(row, index.column()), this->index(row, index.column()));
    return true;
}

Qt::ItemFlags UrlTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == UrlColumn)
        flags |= Qt::ItemIsEditable;
    else if (!m_flagColumn.isEmpty())
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant UrlTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == UrlColumn)
        return QStringLiteral("URL's to submit");
    if (section == FlagColumn)
        return QStringLiteral("Enabled");
    return {};
}

qint64 UrlTableModel::rowIdAt(int row) const
{
    return row >= 0 && row < m_ids.size() ? m_ids.at(row) : -1;
}

int UrlTableModel::insertAt(int row)
{
    if (m_state != State::Browse && !post())
        return -1;
    row = std::clamp(row, 0, int(m_ids.size()));
    beginInsertRows({}, row, row);
    m_ids.insert(row, -1);
    endInsertRows();
    m_state = State::Insert;
    m_pendingRow = row;
    return row;
}

bool UrlTableModel::edit(int row)
{
    if (row < 0 || row >= m_ids.size())
        return false;
    if (row == pendingRow())
        return true;
    if (m_state != State::Browse) {
        // Posting an inserted row re-reads the view, so find the target again by its id.
        const qint64 target = m_ids.at(row);
        if (!post())
            return false;
        row = int(m_ids.indexOf(target));
        if (row < 0)
            return false;
    }
    m_state = State::Edit;
    m_pendingRow = row;
    return true;
}

bool UrlTableModel::post()
{
    if (m_state == State::Browse)
        return true;
    if (!isModified()) {
        cancel();
        return true;
    }
    try {
        const QString column = m_pendingFlag ? m_flagColumn : QString();
        if (m_state == State::Insert) {
            // The table's viewChanged() brings the new row in where the view has it.
            UrlGridRows(m_table).appendRow(m_pendingUrl, column, m_pendingFlag);
        } else {
            const int row = m_pendingRow;
            const qint64 rowId = m_ids.at(row);
            UrlGridRows(m_table).updateRow(rowId, m_pendingUrl, column, m_pendingFlag);
            m_cache.remove(rowId);
            clearPending();
            emit dataChanged(index(row, UrlColumn), index(row, FlagColumn));
        }
    } catch (const UrlTableError &error) {
        emit failed(error.message());
        return false;
    }
    emit afterPost();
    return true;
}

void UrlTableModel::cancel()
{
    if (m_state == State::Insert) {
        const int row = m_pendingRow;
        beginRemoveRows({}, row, row);
        m_ids.removeAt(row);
        clearPending();
        endRemoveRows();
    } else if (m_state == State::Edit) {
        const int row = m_pendingRow;
        clearPending();
        emit dataChanged(index(row, UrlColumn), index(row, FlagColumn));
    }
}

bool UrlTableModel::deleteAt(int row)
{
    if (row < 0 || row >= m_ids.size())
        return false;
    if (row == pendingRow() && m_state == State::Insert) {
        cancel();
        return true;
    }
    if (row != pendingRow() && m_state != State::Browse) {
        // Another row's changes are posted first, as moving off that row would.
        const qint64 target = m_ids.at(row);
        if (!post())
            return false;
        row = int(m_ids.indexOf(target));
        if (row < 0)
            return false;
    }
    const qint64 rowId = m_ids.at(row);
    clearPending();
    beginRemoveRows({}, row, row);
    m_ids.removeAt(row);
    m_cache.remove(rowId);
    endRemoveRows();
    try {
        writeOwn([&] { UrlGridRows(m_table).deleteRow(rowId); });
    } catch (const UrlTableError &error) {
        reload();
        emit failed(error.message());
        return false;
    }
    emit afterDelete();
    return true;
}

void UrlTableModel::refresh()
{
    reload();
}

void UrlTableModel::rereadValues()
{
    m_cache.clear();
    if (!m_ids.isEmpty())
        emit dataChanged(index(0, UrlColumn), index(m_ids.size() - 1, FlagColumn));
}

template <typename Work> void UrlTableModel::writeOwn(Work &&work)
{
    // The model has already shown this change; the table's viewChanged() for it
    // would only reset the view and lose its place.
    m_writing = true;
    try {
        work();
    } catch (...) {
        m_writing = false;
        throw;
    }
    m_writing = false;
}

void UrlTableModel::clearPending()
{
    m_state = State::Browse;
    m_pendingRow = -1;
    m_pendingUrl.reset();
    m_pendingFlag.reset();
}

void UrlTableModel::reload()
{
    beginResetModel();
    clearPending();
    m_cache.clear();
    try {
        m_ids = m_table.rowIds();
    } catch (const UrlTableError &error) {
        m_ids.clear();
        endResetModel();
        emit failed(error.message());
        return;
    }
    endResetModel();
}
