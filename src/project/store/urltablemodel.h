#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <optional>

class UrlTable;

// The grid's view of the URL table's filtered rows: column 0 is Url ("URL's to
// submit"), column 1 ("Enabled") is the flag column bound with setFlagColumn(),
// shown and edited as a check box (NULL shows unchecked); with no column bound
// it shows nothing and cannot be edited.
//
// It works like a record set with one pending row: editing a cell (setData)
// puts that row in edit state, insertAt() adds an unsaved row; post() writes
// the pending row, cancel() drops it. Editing another row first posts the
// pending one. A row posted from insertAt() belongs to the filter's project
// and gets no flags other than one set in the grid.
//
// Failures never throw out of the model: operations return false and emit
// failed() with the database's message. The row ids are the table's full view;
// row data is read on demand. Counts for the user come from UrlTable::rowCount().
// The model follows the table's signals, whoever changed it: viewChanged()
// re-reads the view (a pending row is dropped), rowsChanged() re-reads the
// values shown and keeps the rows, the pending one included.
// The table must outlive the model.
class UrlTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { UrlColumn = 0, FlagColumn = 1 };
    enum class State { Browse, Edit, Insert };

    explicit UrlTableModel(UrlTable &table, QObject *parent = nullptr);

    // Binds column 1 to E1 ... E30, or to nothing with "". Returns false (and
    // binds nothing) for any other name.
    bool setFlagColumn(const QString &column);
    QString flagColumn() const { return m_flagColumn; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    State state() const { return m_state; }
    // The row being edited or inserted, -1 in browse state.
    int pendingRow() const { return m_state == State::Browse ? -1 : m_pendingRow; }
    bool isModified() const { return m_pendingUrl.has_value() || m_pendingFlag.has_value(); }
    // The table's rowid of a row; -1 for the unsaved inserted row or no row.
    qint64 rowIdAt(int row) const;

    // Adds an unsaved row before row (clamped to the ends); posts a pending row
    // first. Returns the new row's index, -1 when posting the pending row failed.
    int insertAt(int row);
    // Puts row in edit state (posting another pending row first).
    bool edit(int row);
    // Writes the pending row; true when written or nothing was pending. An
    // inserted row left empty is dropped instead, like cancel().
    bool post();
    // Drops the pending row's changes; an unsaved inserted row disappears.
    void cancel();
    // Deletes row from the table (an unsaved inserted row is only dropped).
    bool deleteAt(int row);
    // Re-reads the view; a pending row is dropped.
    void refresh();

signals:
    void afterPost();
    void afterDelete();
    void failed(const QString &message);

private:
    struct RowData
    {
        QString url;
        bool flag = false;
    };
    const RowData &rowData(qint64 rowId) const;
    void clearPending();
    void reload();
    void rereadValues();
    // Runs one of the model's own writes, which it shows by itself: viewChanged()
    // is not followed meanwhile.
    template <typename Work> void writeOwn(Work &&work);

    UrlTable &m_table;
    QString m_flagColumn;
    QList<qint64> m_ids;
    mutable QHash<qint64, RowData> m_cache;
    State m_state = State::Browse;
    int m_pendingRow = -1;
    std::optional<QString> m_pendingUrl;
    std::optional<bool> m_pendingFlag;
    bool m_writing = false; // inside writeOwn()
};
