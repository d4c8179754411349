#pragma once

#include "project/projectquery.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// The URL table urls2 of every project, in the file urls2.db of the base
// directory, and the filtered view the window and the runs use.
//
// Schema: Projectid REAL, Url VARCHAR(255), E1 ... E30 BOOLEAN (1, 0 or NULL;
// NULL reads as false). Rows are addressed by SQLite's rowid and the view is in
// rowid order, which is the order rows were added. Every statement goes through
// query(); no value is ever written into SQL text.
//
// Failures of the database throw UrlTableError carrying the database's message;
// nothing here shows a box. Used from one thread only.
class UrlTable : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlagColumnCount = ProjectQuery::FlagColumnCount;
    static constexpr int MaxUrlLength = 255;
    // An import line is read in pieces of at most this many bytes.
    static constexpr int PieceLength = 1023;

    // Opens urls2.db in directory, creating the file, the table and its indexes
    // when missing. Throws UrlTableError when the file cannot be opened or is no
    // database; such a file is left as it was.
    explicit UrlTable(const QString &directory, QObject *parent = nullptr);
    ~UrlTable() override;
    UrlTable(const UrlTable &) = delete;
    UrlTable &operator=(const UrlTable &) = delete;

    QString filePath() const { return m_filePath; }
    QString connectionName() const { return m_connectionName; }
    ProjectQuery &query() { return m_query; }

    // The view filter "Projectid = N"; before any project the filter is empty
    // and the view holds all rows. Both emit viewChanged().
    void setFilter(int projectId);
    void clearFilter();
    std::optional<int> filterProjectId() const { return m_filterProject; }
    QString filter() const;

    // Closes and reopens the database so that the view is current; emits
    // viewChanged(). Throws UrlTableError when it cannot be reopened.
    void reopen();

    // The true number of rows in the filtered view.
    int rowCount();
    // The rowids of the filtered view, all of them, in the view's order.
    QList<qint64> rowIds();
    // The Url of a row; "" for a row that no longer exists.
    QString url(qint64 rowId);
    // A flag of a row (NULL reads false); nullopt for a column other than
    // E1 ... E30 or a row that no longer exists.
    std::optional<bool> flag(qint64 rowId, const QString &column);
    // url() and flag() of one row in a single read, as a run needs them per URL.
    struct UrlAndFlag
    {
        QString url;
        std::optional<bool> flag;
    };
    UrlAndFlag urlAndFlag(qint64 rowId, const QString &column);
    // Every row of the filtered view with its Url and one flag, in the view's
    // order, in a single read; the flag as flag() reads it.
    struct UrlRow
    {
        qint64 rowId = 0;
        QString url;
        std::optional<bool> flag;
    };
    QList<UrlRow> viewRows(const QString &column);

    // Counts the changes made through this table: every call that writes to
    // the file (or tries to) moves it on, whether or not a row changed.
    quint64 revision() const { return m_revision; }

    // Appends one row of the project with all thirty flags true, the URL as
    // given (cut to 255 characters). Emits viewChanged() and afterPost().
    void addUrl(int projectId, const QString &url);
    // Appends a row per piece of the file's lines (see the .cpp) with the flags
    // left NULL, all in one transaction: a failure part-way adds nothing.
    // Returns the rows added, -1 when the file cannot be opened. Emits
    // viewChanged() and, when rows were added, afterPost() once.
    int importFile(int projectId, const QString &path);
    // Deletes the project's rows, even when the file then turns out to be
    // missing (returns false), and imports the file like importFile() but with
    // all thirty flags true, so an unattended run submits what it imported.
    bool replaceFromFile(int projectId, const QString &path);
    // All thirty flags true for this project's rows only. Emits viewChanged().
    void enableAll(int projectId);
    // Removes every row of the project. Emits viewChanged().
    void deleteProject(int projectId);
    // Sets one flag of every row of the project holding url (duplicates share
    // it). Throws UrlTableError for a column other than E1 ... E30. No signal:
    // the runs refresh the view when they are done with an engine.
    void setFlag(const QString &column, int projectId, const QString &url, bool value);

    // Row operations of the grid. A row appended here gets no Projectid, so it
    // matches no project filter. The flag column, when given, must be E1 ... E30.
    // Each emits afterPost() or afterDelete().
    qint64 appendRow(const std::optional<QString> &url, const QString &flagColumn, std::optional<bool> flag);
    void updateRow(qint64 rowId, const std::optional<QString> &url, const QString &flagColumn,
                   std::optional<bool> flag);
    void deleteRow(qint64 rowId);

    // text as it is stored: cut to 255 characters, never inside a surrogate pair.
    static QString storedText(const QString &text);

signals:
    // A row was posted (added, imported or edited), whoever caused it.
    void afterPost();
    // A row was deleted through the grid.
    void afterDelete();
    // The rows of the view may have changed as a whole: views reload.
    void viewChanged();

private:
    void open();
    void close();
    void createSchema();
    void changing() { ++m_revision; }
    int importPieces(int projectId, const QString &path, bool enabled);
    QString viewWhere() const;
    QVariantList viewValues() const;

    QString m_filePath;
    QString m_connectionName;
    QSqlDatabase m_db;
    ProjectQuery m_query;
    std::optional<int> m_filterProject;
    quint64 m_revision = 0;
};
