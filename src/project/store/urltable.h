#pragma once

#include "project/readers/sitemapentry.h"
#include "project/readers/urllist.h"
#include "project/store/projectquery.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

// The URL table urls2 of every project, in the file urls2.db of the base
// directory, and the filtered view the window and the runs use.
//
// Schema: Projectid REAL, Url VARCHAR(255), E1 ... E30 BOOLEAN (1, 0 or NULL;
// NULL reads as false). Rows are addressed by SQLite's rowid and the view is in
// rowid order, which is the order rows were added. Every statement goes through
// query(); no value is ever written into SQL text. Beside urls2 live the
// sitemap lastmods (urls2_sitemap, see SitemapLastmods) and the URLs that left
// a project's list (urls2_history, see UrlReplacement). The grid's row
// operations are UrlGridRows, over this table's connection.
//
// Views watch the signals: every change that affects what a view shows is
// announced, with viewChanged() when rows may have come or gone, with
// rowsChanged() when only values of rows (URLs, flags) may have changed. The
// flag writes of a run are announced as they are committed (see
// beginFlagBatch()), not one by one.
//
// Failures of the database throw UrlTableError carrying the database's message;
// nothing here shows a box. A write the database refuses (a read-only file, a
// full disk, a file another program holds locked past the wait) throws
// UrlTableError "Unable to write to <absolute path of urls2.db>: <the database's
// reason>", e.g. "... : attempt to write a readonly database" or "...: database
// is locked"; so do the calls below that say they write. A write that the
// database accepts but that meets no row (the row went meanwhile) is no
// failure. Used from one thread only.
class UrlTable : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlagColumnCount = ProjectQuery::FlagColumnCount;
    static constexpr int MaxUrlLength = 255;

    // Opens urls2.db in directory, creating the file, the tables and their
    // indexes when missing, and bringing the lastmods of an older file into the
    // present shape (a file that cannot be written is brought at its first
    // import). Throws UrlTableError when the file cannot be opened or is no
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

    // Closes and reopens the database, so that connection options set on it
    // meanwhile take effect; emits viewChanged(). Views need no reopening to be
    // current: they follow the signals. Throws UrlTableError when it cannot be
    // reopened.
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
    // given (cut to 255 characters). Writes. Emits viewChanged() and afterPost().
    void addUrl(int projectId, const QString &url);
    // Appends a row of the project per URL, as given (cut to 255 characters),
    // with the flags left NULL, all in one transaction: a failure adds nothing.
    // Writes. Returns the rows added. Emits viewChanged() and, when rows were added,
    // afterPost() once.
    int importUrls(int projectId, const QStringList &urls);
    // Reads the file with UrlList::read() and imports its URLs like importUrls():
    // a line that is no URL is passed over with a warning, a URL twice in the file
    // is added once; a URL the project holds already is added again. Returns the
    // rows added, or -1, having added nothing, when the file cannot be read or
    // holds no valid URL (UrlList::readable() false). *list, when given, receives
    // what was read: the warnings, or the text of why nothing was imported
    // (UrlList::errorText()).
    int importFile(int projectId, const QString &path, UrlList *list = nullptr);
    // Makes the project's URLs exactly urls (each cut to 255 characters), in one
    // transaction: a URL the project holds already keeps its row and its thirty
    // flags as stored, NULL included; of several rows holding it, the first in
    // row order stays and the others go. A new URL is appended in the order
    // given, with the flags it had when it last left the project's list (kept in
    // urls2_history), or with all thirty flags true when it never was in it; a
    // URL given twice counts once. Every other row of the project is deleted, its
    // URL's flags and lastmod going to urls2_history, out of the view; rows of
    // other projects are untouched. The lastmods of the URLs that stay are left
    // as they are. Writes; on failure the old rows are still in place; a program
    // killed part-way leaves either the old rows or the new ones. Emits
    // viewChanged() and, when rows were appended, afterPost().
    void replaceProjectUrls(int projectId, const QStringList &urls);
    // Reads the file with UrlList::read() and replaces the project's URLs with
    // its URLs like replaceProjectUrls(). Returns false, having changed nothing,
    // when the file cannot be read or holds no valid URL (an empty file, every
    // line rejected): a list is never taken to mean "no URLs at all". *list, when
    // given, receives what was read, and then UrlList::errorText() says why, e.g.
    // "urls.txt holds no valid URL (3 lines, all rejected); the project's URLs
    // are left as they are". Throws like replaceProjectUrls().
    bool replaceFromFile(int projectId, const QString &path, UrlList *list = nullptr);
    // Makes the project's URLs exactly the entries' URLs like replaceProjectUrls(),
    // and in the same transaction weighs each entry's lastmod against the one
    // stored for the URL at the project's previous sitemap import (or, for a URL
    // coming back, the one it had when it left): where both are there and do not
    // name the same moment (sameLastmod(): W3C datetimes compared as instants,
    // anything else as text), the page has changed and its row gets all thirty
    // flags true, to be submitted again; otherwise its flags stay. Then the
    // entries' lastmods, trimmed, replace the project's stored ones (an entry
    // without one stores none); of entries sharing a URL the first counts.
    // Returns how many entries have a lastmod that is no W3C datetime. Failures
    // and signals as replaceProjectUrls(); a program killed part-way leaves the
    // old rows and lastmods, or the new ones.
    int replaceProjectUrlsFromSitemap(int projectId, const QList<SitemapEntry> &entries);
    // The URLs that left the project's list (by replaceProjectUrls() or a
    // sitemap) and are not in it now, in the order they left. Throws
    // UrlTableError when they cannot be read.
    QStringList departedUrls(int projectId);
    // The lastmod kept for each of urls in the project since its last sitemap
    // import, "" for none. Throws UrlTableError when they cannot be read.
    QStringList storedLastmods(int projectId, const QStringList &urls);
    // All thirty flags true for this project's rows only. Writes. Emits viewChanged().
    void enableAll(int projectId);
    // Removes every row of the project, its lastmods and its departed URLs, in
    // one transaction. Writes. Emits viewChanged().
    void deleteProject(int projectId);
    // Sets one flag of every row of the project holding url (duplicates share
    // it); a URL no row holds is no failure. Throws UrlTableError for a column
    // other than E1 ... E30, when the write fails, and, without writing, when a
    // grouped commit failed since the last call (see beginFlagBatch()). Emits
    // rowsChanged() at once when changes are not grouped, else when the group
    // is committed or rolled back.
    void setFlag(const QString &column, int projectId, const QString &url, bool value);
    // The same for rows known by their ids (all rows of one project holding one
    // URL); an id no row has is no failure. Throws as setFlag().
    void setRowFlags(const QString &column, const QList<qint64> &rowIds, bool value);

    // Groups the flag changes of a run: from here on setFlag() writes inside a
    // transaction that is committed at most `milliseconds` after its first
    // change, and at once by endFlagBatch(), by any other change and before
    // the file is closed; each commit emits rowsChanged() once, so that a run
    // of many URLs repaints the grid a few times a second at most. A program killed meanwhile loses at most those
    // changes, which the next run only repeats (a URL is sent once more).
    // A commit that fails outside endFlagBatch() (in the timer, before another
    // change, before closing) rolls the group back and is remembered: the next
    // setFlag(), setRowFlags() or endFlagBatch() throws its UrlTableError. A
    // flag write that fails inside the group ends the group (what it held is
    // committed if it still can be) and throws.
    void beginFlagBatch(int milliseconds = 100);
    // Commits the open group and stops grouping. Throws UrlTableError when that
    // commit fails, or with the remembered failure of an earlier one; grouping
    // has stopped either way.
    void endFlagBatch();

    // text as it is stored: cut to 255 characters, never inside a surrogate pair.
    static QString storedText(const QString &text);

signals:
    // A row was posted (added, imported or edited), whoever caused it.
    void afterPost();
    // A row was deleted through the grid.
    void afterDelete();
    // The rows of the view may have changed as a whole: views reload.
    void viewChanged();
    // Values of rows (URLs, flags) may have changed, but no row came or went:
    // views re-read what they show and keep their place.
    void rowsChanged();

private:
    friend class UrlGridRows;
    friend class EngineState;
    friend class PageState;

    void open();
    void close();
    void createSchema();
    void changing()
    {
        commitFlagBatch();
        ++m_revision;
    }
    // Starts the group of flag changes when changes are grouped and none is open.
    void openFlagBatch();
    // Commits the open group of flag changes, if any, and emits rowsChanged().
    // Never throws: changes that cannot be committed are rolled back (the next
    // run sends their URLs again) and the failure is kept in m_batchFailure.
    void commitFlagBatch();
    // Runs flag writes inside the group, when grouping; see setFlag().
    template <typename Work> void writeFlags(Work &&work);
    // writeFlags() for the side tables' writes (EngineState).
    void writeGrouped(const std::function<void()> &work);
    // Runs work; a UrlTableError out of it becomes the "Unable to write" one.
    template <typename Work> void writing(Work &&work)
    {
        try {
            work();
        } catch (const UrlTableError &failure) {
            throw writeFailure(failure);
        }
    }
    template <typename Work> void inTransaction(Work &&work);
    UrlTableError writeFailure(const UrlTableError &failure) const;
    // The replacement of both imports; returns the rows appended.
    int replaceRows(int projectId, const QStringList &urls, const QStringList *lastmods);
    QString viewWhere() const;
    QVariantList viewValues() const;

    QString m_filePath;
    QString m_connectionName;
    QSqlDatabase m_db;
    ProjectQuery m_query;
    std::optional<int> m_filterProject;
    quint64 m_revision = 0;
    int m_batchMilliseconds = -1; // below 0: flag changes are not grouped
    bool m_batchOpen = false;
    QTimer m_batchTimer;
    std::optional<UrlTableError> m_batchFailure; // a grouped commit that failed, not yet told
};
