#include "project/store/urltable.h"

#include "project/store/enginestate.h"
#include "project/store/pagestate.h"

#include "project/readers/w3cdatetime.h"
#include "project/store/sitemaplastmods.h"
#include "project/store/urlreplacement.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace {

const QString ImportStatement = QStringLiteral("insert into urls2 (Projectid, Url) values (?, ?)");

QString enabledInsertStatement()
{
    QString columns, values;
    for (int column = 1; column <= UrlTable::FlagColumnCount; ++column) {
        columns += QStringLiteral(", ") + ProjectQuery::columnName(column);
        values += QStringLiteral(", true");
    }
    return QStringLiteral("insert into urls2 (Projectid, Url%1) values (?, ?%2)").arg(columns, values);
}

std::atomic<int> connectionCounter{0};

} // namespace

UrlTable::UrlTable(const QString &directory, QObject *parent)
    : QObject(parent), m_filePath(QDir(directory).filePath(QStringLiteral("urls2.db"))),
      m_connectionName(QStringLiteral("quillcast-urls-%1").arg(++connectionCounter)),
      m_db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName)), m_query(m_connectionName)
{
    try {
        if (!m_db.isValid())
            throw UrlTableError(QStringLiteral("The SQLite database driver is not available"));
        m_db.setDatabaseName(m_filePath);
        m_batchTimer.setSingleShot(true);
        connect(&m_batchTimer, &QTimer::timeout, this, &UrlTable::commitFlagBatch);
        open();
        createSchema();
    } catch (...) {
        close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

UrlTable::~UrlTable()
{
    // No view is told of the last group's commit: it may be going too.
    const QSignalBlocker quiet(this);
    close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void UrlTable::open()
{
    if (!m_db.open())
        throw UrlTableError(QStringLiteral("Cannot open %1: %2").arg(m_filePath, m_db.lastError().text()));
    // A run changes one flag per request. With the default rollback journal each
    // change creates, syncs twice and deletes a journal file, which makes a run
    // disk-bound. A write-ahead log synced only at checkpoints keeps every change
    // safe against a crash of the program; a power failure can lose the last
    // changes (never the file's consistency), so a URL may be submitted again.
    // Where the log cannot be used (a file system without shared memory), the
    // file keeps its journal and only costs time.
    QSqlQuery pragma(m_db);
    pragma.exec(QStringLiteral("pragma journal_mode = wal"));
    pragma.exec(QStringLiteral("pragma synchronous = normal"));
    // An import of a whole site writes more pages in one transaction than the
    // default cache of 2 MB holds; spilling them mid-way cost a third of its time.
    pragma.exec(QStringLiteral("pragma cache_size = -32768"));
}

void UrlTable::close()
{
    commitFlagBatch();
    m_query.clear();
    if (m_db.isOpen())
        m_db.close();
}

void UrlTable::createSchema()
{
    QString flags;
    for (int column = 1; column <= FlagColumnCount; ++column)
        flags += QStringLiteral(", %1 BOOLEAN").arg(ProjectQuery::columnName(column));
    m_query.exec(QStringLiteral("create table if not exists urls2 (Projectid REAL, Url VARCHAR(255)%1)").arg(flags));
    // Serves the project filter and the per-URL flag updates of the runs.
    m_query.exec(QStringLiteral("create index if not exists urls2_project_url on urls2 (Projectid, Url)"));
    // A file that cannot be written still opens for reading: the replacements make
    // the side tables again, in their own transaction, before they use them.
    try {
        m_query.exec(QStringLiteral("begin"));
        UrlReplacement::createTables(m_query);
        EngineState::createTables(m_query);
        PageState::createTables(m_query);
        m_query.exec(QStringLiteral("commit"));
    } catch (const UrlTableError &) {
        m_db.rollback();
    }
    m_query.clear();
}

UrlTableError UrlTable::writeFailure(const UrlTableError &failure) const
{
    if (failure.isStorage())
        return failure;
    return UrlTableError(
        QStringLiteral("Unable to write to %1: %2").arg(QFileInfo(m_filePath).absoluteFilePath(), failure.message()));
}

QString UrlTable::storedText(const QString &text)
{
    if (text.size() <= MaxUrlLength)
        return text;
    const bool splitsPair = text.at(MaxUrlLength - 1).isHighSurrogate();
    return text.left(splitsPair ? MaxUrlLength - 1 : MaxUrlLength);
}

void UrlTable::setFilter(int projectId)
{
    m_filterProject = projectId;
    emit viewChanged();
}

void UrlTable::clearFilter()
{
    m_filterProject.reset();
    emit viewChanged();
}

QString UrlTable::filter() const
{
    return m_filterProject ? QStringLiteral("Projectid = %1").arg(*m_filterProject) : QString();
}

QString UrlTable::viewWhere() const
{
    return m_filterProject ? QStringLiteral(" where Projectid = ?") : QString();
}

QVariantList UrlTable::viewValues() const
{
    return m_filterProject ? QVariantList{*m_filterProject} : QVariantList{};
}

void UrlTable::reopen()
{
    close();
    open();
    emit viewChanged();
}

int UrlTable::rowCount()
{
    QSqlQuery &query = m_query.select(QStringLiteral("select count(*) from urls2") + viewWhere(), viewValues());
    const int count = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return count;
}

QList<qint64> UrlTable::rowIds()
{
    QSqlQuery &query = m_query.select(
        QStringLiteral("select rowid from urls2") + viewWhere() + QStringLiteral(" order by rowid"), viewValues());
    QList<qint64> ids;
    while (query.next())
        ids.append(query.value(0).toLongLong());
    query.finish();
    return ids;
}

QString UrlTable::url(qint64 rowId)
{
    QSqlQuery &query = m_query.select(QStringLiteral("select Url from urls2 where rowid = ?"), {rowId});
    const QString text = query.next() ? query.value(0).toString() : QString();
    query.finish();
    return text;
}

std::optional<bool> UrlTable::flag(qint64 rowId, const QString &column)
{
    const std::optional<int> number = ProjectQuery::columnNumber(column);
    if (!number)
        return std::nullopt;
    QSqlQuery &query = m_query.select(
        QStringLiteral("select %1 from urls2 where rowid = ?").arg(ProjectQuery::columnName(*number)), {rowId});
    std::optional<bool> value;
    if (query.next())
        value = !query.value(0).isNull() && query.value(0).toInt() != 0;
    query.finish();
    return value;
}

UrlTable::UrlAndFlag UrlTable::urlAndFlag(qint64 rowId, const QString &column)
{
    const std::optional<int> number = ProjectQuery::columnNumber(column);
    if (!number)
        return {url(rowId), std::nullopt};
    // One statement text per column, so each stays prepared for the whole run.
    static const QStringList statements = [] {
        QStringList texts;
        for (int n = 1; n <= FlagColumnCount; ++n)
            texts << QStringLiteral("select Url, %1 from urls2 where rowid = ?").arg(ProjectQuery::columnName(n));
        return texts;
    }();
    QSqlQuery &query = m_query.select(statements.at(*number - 1), {rowId});
    UrlAndFlag row;
    if (query.next()) {
        row.url = query.value(0).toString();
        row.flag = !query.value(1).isNull() && query.value(1).toInt() != 0;
    }
    query.finish();
    return row;
}

QList<UrlTable::UrlRow> UrlTable::viewRows(const QString &column)
{
    const std::optional<int> number = ProjectQuery::columnNumber(column);
    const QString flag = number ? ProjectQuery::columnName(*number) : QStringLiteral("null");
    QSqlQuery &query = m_query.select(QStringLiteral("select rowid, Url, %1 from urls2").arg(flag) + viewWhere() +
                                          QStringLiteral(" order by rowid"),
                                      viewValues());
    QList<UrlRow> rows;
    while (query.next()) {
        UrlRow row{query.value(0).toLongLong(), query.value(1).toString(), std::nullopt};
        if (number)
            row.flag = !query.value(2).isNull() && query.value(2).toInt() != 0;
        rows.append(std::move(row));
    }
    query.finish();
    return rows;
}

void UrlTable::addUrl(int projectId, const QString &url)
{
    changing();
    writing([&] { m_query.exec(enabledInsertStatement(), {projectId, storedText(url)}); });
    emit viewChanged();
    emit afterPost();
}

template <typename Work> void UrlTable::inTransaction(Work &&work)
{
    try {
        writing([&] {
            // Immediate: the write lock is taken before the first read, so a writer
            // elsewhere makes this wait rather than fail part-way.
            m_query.exec(QStringLiteral("begin immediate"));
            work();
            m_query.exec(QStringLiteral("commit"));
        });
    } catch (...) {
        m_db.rollback();
        emit viewChanged();
        throw;
    }
}

int UrlTable::importUrls(int projectId, const QStringList &urls)
{
    changing();
    int added = 0;
    inTransaction([&] {
        for (const QString &url : urls) {
            m_query.exec(ImportStatement, {projectId, storedText(url)});
            ++added;
        }
    });
    emit viewChanged();
    if (added > 0)
        emit afterPost();
    return added;
}

int UrlTable::importFile(int projectId, const QString &path, UrlList *list)
{
    UrlList read = UrlList::read(path);
    const int added = read.readable() ? importUrls(projectId, read.urls) : -1;
    if (list)
        *list = std::move(read);
    return added;
}

void UrlTable::replaceProjectUrls(int projectId, const QStringList &urls)
{
    QStringList stored;
    stored.reserve(urls.size());
    for (const QString &url : urls)
        stored.append(storedText(url));
    replaceRows(projectId, stored, nullptr);
    // The project's URLs no longer come from its sitemaps.
    EngineState(*this).setSitemaps(projectId, {});
}

int UrlTable::replaceRows(int projectId, const QStringList &urls, const QStringList *lastmods)
{
    changing();
    int added = 0;
    inTransaction([&] {
        UrlReplacement::createTables(m_query);
        added = UrlReplacement(m_query, projectId).run(urls, lastmods);
    });
    emit viewChanged();
    if (added > 0)
        emit afterPost();
    return added;
}

int UrlTable::replaceProjectUrlsFromSitemap(int projectId, const QList<SitemapEntry> &entries)
{
    QStringList urls, lastmods;
    urls.reserve(entries.size());
    lastmods.reserve(entries.size());
    int notDatetime = 0;
    for (const SitemapEntry &entry : entries) {
        urls.append(storedText(entry.url));
        lastmods.append(entry.lastmod.trimmed());
        if (!lastmods.constLast().isEmpty() && !W3cInstant::parse(lastmods.constLast()))
            ++notDatetime;
    }
    replaceRows(projectId, urls, &lastmods);
    return notDatetime;
}

QStringList UrlTable::departedUrls(int projectId)
{
    QSqlQuery &query = m_query.select(QStringLiteral("select Url from urls2_history h where Projectid = ? and not "
                                                     "exists (select 1 from urls2 u where u.Projectid = h.Projectid "
                                                     "and u.Url = h.Url) order by rowid"),
                                      {projectId});
    QStringList urls;
    while (query.next())
        urls.append(query.value(0).toString());
    query.finish();
    return urls;
}

QStringList UrlTable::storedLastmods(int projectId, const QStringList &urls)
{
    return SitemapLastmods::lookup(m_query, projectId, urls);
}

bool UrlTable::replaceFromFile(int projectId, const QString &path, UrlList *list)
{
    UrlList read = UrlList::read(path);
    const bool readable = read.readable();
    if (readable)
        replaceProjectUrls(projectId, read.urls);
    if (list)
        *list = std::move(read);
    return readable;
}

void UrlTable::enableAll(int projectId)
{
    changing();
    writing([&] { m_query.enableAllColumns(projectId); });
    emit viewChanged();
}

void UrlTable::deleteProject(int projectId)
{
    changing();
    inTransaction([&] {
        UrlReplacement::createTables(m_query);
        EngineState::createTables(m_query);
        m_query.deleteProject(projectId);
        EngineState::forgetProject(m_query, projectId);
        PageState::createTables(m_query);
        PageState::forgetProject(m_query, projectId);
        SitemapLastmods::write(m_query, projectId, {});
        m_query.exec(QStringLiteral("delete from urls2_history where Projectid = ?"), {projectId});
    });
    emit viewChanged();
}

template <typename Work> void UrlTable::writeFlags(Work &&work)
{
    // A run that is told of the lost group stops; the flag of this call is then
    // only one more URL the next run sends again.
    if (m_batchFailure) {
        const UrlTableError failure = *m_batchFailure;
        m_batchFailure.reset();
        throw failure;
    }
    try {
        writing([&] {
            openFlagBatch();
            work();
        });
    } catch (const UrlTableError &) {
        // This statement's failure is the one told; what the group held is kept if it still can be.
        if (m_batchOpen) {
            commitFlagBatch();
            m_batchFailure.reset();
        }
        throw;
    }
}

void UrlTable::writeGrouped(const std::function<void()> &work)
{
    writeFlags(work);
}

void UrlTable::setFlag(const QString &column, int projectId, const QString &url, bool value)
{
    const QString checked = ProjectQuery::checkedColumn(column);
    ++m_revision;
    writeFlags([&] { m_query.setUrlFlag(checked, projectId, url, value); });
    if (!m_batchOpen)
        emit rowsChanged();
}

void UrlTable::setRowFlags(const QString &column, const QList<qint64> &rowIds, bool value)
{
    const QString checked = ProjectQuery::checkedColumn(column);
    ++m_revision;
    writeFlags([&] {
        for (const qint64 rowId : rowIds)
            m_query.setRowFlag(checked, rowId, value);
    });
    if (!m_batchOpen)
        emit rowsChanged();
}

void UrlTable::openFlagBatch()
{
    if (m_batchMilliseconds < 0 || m_batchOpen)
        return;
    m_query.exec(QStringLiteral("begin"));
    m_batchOpen = true;
    m_batchTimer.start(m_batchMilliseconds);
}

void UrlTable::beginFlagBatch(int milliseconds)
{
    m_batchMilliseconds = qMax(0, milliseconds);
}

void UrlTable::endFlagBatch()
{
    commitFlagBatch();
    m_batchMilliseconds = -1;
    if (m_batchFailure) {
        const UrlTableError failure = *m_batchFailure;
        m_batchFailure.reset();
        throw failure;
    }
}

void UrlTable::commitFlagBatch()
{
    if (!m_batchOpen)
        return;
    m_batchOpen = false;
    m_batchTimer.stop();
    try {
        m_query.exec(QStringLiteral("commit"));
    } catch (const UrlTableError &failure) {
        m_db.rollback();
        if (!m_batchFailure)
            m_batchFailure = writeFailure(failure);
    }
    emit rowsChanged();
}
