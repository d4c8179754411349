#include "project/urltable.h"

#include "project/texthash.h"

#include <QDir>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <unordered_map>
#include <unordered_set>

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
    m_query.clear();
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
    close();
    open();
    m_query.exec(enabledInsertStatement(), {projectId, storedText(url)});
    emit viewChanged();
    emit afterPost();
}

template <typename Work> void UrlTable::inTransaction(Work &&work)
{
    try {
        // Immediate: the write lock is taken before the first read, so a writer
        // elsewhere makes this wait rather than fail part-way.
        m_query.exec(QStringLiteral("begin immediate"));
        work();
        m_query.exec(QStringLiteral("commit"));
    } catch (...) {
        m_db.rollback();
        emit viewChanged();
        throw;
    }
}

int UrlTable::importUrls(int projectId, const QStringList &urls)
{
    changing();
    close();
    open();
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
    changing();
    QStringList wanted;
    wanted.reserve(urls.size());
    for (const QString &url : urls)
        wanted.append(storedText(url));

    int added = 0;
    inTransaction([&] { added = replaceRows(projectId, wanted); });
    emit viewChanged();
    if (added > 0)
        emit afterPost();
}

int UrlTable::replaceRows(int projectId, const QStringList &wanted)
{
    const QSet<QString> wantedSet(wanted.cbegin(), wanted.cend());
    QSet<QString> present;
    QList<qint64> doomed;
    QSqlQuery &rows =
        m_query.select(QStringLiteral("select rowid, Url from urls2 where Projectid = ? order by rowid"), {projectId});
    while (rows.next()) {
        const QVariant url = rows.value(1);
        const QString text = url.toString();
        if (url.isNull() || !wantedSet.contains(text) || present.contains(text))
            doomed.append(rows.value(0).toLongLong());
        else
            present.insert(text);
    }
    rows.finish();
    for (const qint64 rowId : std::as_const(doomed))
        m_query.exec(QStringLiteral("delete from urls2 where rowid = ?"), {rowId});
    const QString insert = enabledInsertStatement();
    int added = 0;
    for (const QString &url : wanted) {
        if (present.contains(url))
            continue;
        m_query.exec(insert, {projectId, url});
        present.insert(url);
        ++added;
    }
    return added;
}

void UrlTable::replaceProjectUrlsFromSitemap(int projectId, const QList<SitemapEntry> &entries)
{
    changing();
    QStringList wanted;
    std::unordered_map<QString, QString, TextHash> lastmods; // the first entry of a URL counts, as for the rows
    wanted.reserve(entries.size());
    lastmods.reserve(size_t(entries.size()));
    for (const SitemapEntry &entry : entries) {
        QString url = storedText(entry.url);
        if (lastmods.try_emplace(url, entry.lastmod.trimmed()).second)
            wanted.append(std::move(url));
    }

    int added = 0;
    inTransaction([&] {
        m_query.exec(QStringLiteral("create table if not exists urls2_lastmod "
                                    "(Projectid REAL, Url VARCHAR(255), Lastmod TEXT)"));
        m_query.exec(QStringLiteral("create index if not exists urls2_lastmod_project on urls2_lastmod (Projectid)"));

        // Only rows that differ are written: a weekly import of an unchanged site writes nothing here.
        QList<QString> changed;
        QList<qint64> doomed;
        QList<std::pair<qint64, QString>> rewritten;
        std::unordered_set<QString, TextHash> kept;
        QSqlQuery &stored = m_query.select(
            QStringLiteral("select rowid, Url, Lastmod from urls2_lastmod where Projectid = ?"), {projectId});
        while (stored.next()) {
            const qint64 rowId = stored.value(0).toLongLong();
            const QString url = stored.value(1).toString();
            const QString before = stored.value(2).toString();
            const auto now = lastmods.find(url);
            if (now == lastmods.end() || now->second.isEmpty() || !kept.insert(url).second) {
                doomed.append(rowId);
                continue;
            }
            if (before == now->second)
                continue;
            rewritten.append({rowId, now->second});
            if (const QString trimmed = before.trimmed(); !trimmed.isEmpty() && trimmed != now->second)
                changed.append(url);
        }
        stored.finish();

        added = replaceRows(projectId, wanted);

        QString enable;
        for (int column = 1; column <= FlagColumnCount; ++column)
            enable += (column > 1 ? QStringLiteral(", ") : QString()) + ProjectQuery::columnName(column) +
                      QStringLiteral(" = true");
        const QString update = QStringLiteral("update urls2 set %1 where Projectid = ? and Url = ?").arg(enable);
        for (const QString &url : std::as_const(changed))
            m_query.exec(update, {projectId, url});

        for (const qint64 rowId : std::as_const(doomed))
            m_query.exec(QStringLiteral("delete from urls2_lastmod where rowid = ?"), {rowId});
        for (const auto &[rowId, lastmod] : std::as_const(rewritten))
            m_query.exec(QStringLiteral("update urls2_lastmod set Lastmod = ? where rowid = ?"), {lastmod, rowId});
        // Many rows a statement: a first import stores a lastmod for every URL.
        constexpr int RowsPerInsert = 300; // 900 values, below SQLite's oldest limit of 999
        QVariantList values;
        const auto insert = [&] {
            const qsizetype rows = values.size() / 3;
            QString statement = QStringLiteral("insert into urls2_lastmod (Projectid, Url, Lastmod) values (?, ?, ?)");
            statement += QStringLiteral(", (?, ?, ?)").repeated(rows - 1);
            m_query.exec(statement, values);
            values.clear();
        };
        for (const QString &url : std::as_const(wanted)) {
            const QString &lastmod = lastmods.find(url)->second;
            if (lastmod.isEmpty() || kept.count(url))
                continue;
            values << projectId << url << lastmod;
            if (values.size() == RowsPerInsert * 3)
                insert();
        }
        if (!values.isEmpty())
            insert();
    });
    emit viewChanged();
    if (added > 0)
        emit afterPost();
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
    m_query.enableAllColumns(projectId);
    emit viewChanged();
}

void UrlTable::deleteProject(int projectId)
{
    changing();
    m_query.deleteProject(projectId);
    emit viewChanged();
}

void UrlTable::setFlag(const QString &column, int projectId, const QString &url, bool value)
{
    ++m_revision;
    openFlagBatch();
    m_query.setUrlFlag(column, projectId, url, value);
}

void UrlTable::setRowFlags(const QString &column, const QList<qint64> &rowIds, bool value)
{
    ++m_revision;
    openFlagBatch();
    for (const qint64 rowId : rowIds)
        m_query.setRowFlag(column, rowId, value);
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
}

void UrlTable::commitFlagBatch()
{
    if (!m_batchOpen)
        return;
    m_batchOpen = false;
    m_batchTimer.stop();
    try {
        m_query.exec(QStringLiteral("commit"));
    } catch (const UrlTableError &) {
        m_db.rollback();
    }
}

qint64 UrlTable::appendRow(const std::optional<QString> &url, const QString &flagColumn, std::optional<bool> flag)
{
    changing();
    QStringList columns;
    QVariantList values;
    if (url) {
        columns << QStringLiteral("Url");
        values << storedText(*url);
    }
    if (flag) {
        columns << ProjectQuery::checkedColumn(flagColumn);
        values << (*flag ? 1 : 0);
    }
    if (columns.isEmpty())
        m_query.exec(QStringLiteral("insert into urls2 default values"));
    else
        m_query.exec(QStringLiteral("insert into urls2 (%1) values (%2)")
                         .arg(columns.join(QStringLiteral(", ")),
                              QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                     values);
    QSqlQuery &last = m_query.select(QStringLiteral("select last_insert_rowid()"));
    const qint64 rowId = last.next() ? last.value(0).toLongLong() : -1;
    last.finish();
    emit afterPost();
    return rowId;
}

void UrlTable::updateRow(qint64 rowId, const std::optional<QString> &url, const QString &flagColumn,
                         std::optional<bool> flag)
{
    QStringList assignments;
    QVariantList values;
    if (url) {
        assignments << QStringLiteral("Url = ?");
        values << storedText(*url);
    }
    if (flag) {
        assignments << ProjectQuery::checkedColumn(flagColumn) + QStringLiteral(" = ?");
        values << (*flag ? 1 : 0);
    }
    if (assignments.isEmpty())
        return;
    changing();
    values << rowId;
    m_query.exec(QStringLiteral("update urls2 set %1 where rowid = ?").arg(assignments.join(QStringLiteral(", "))),
                 values);
    emit afterPost();
}

void UrlTable::deleteRow(qint64 rowId)
{
    changing();
    m_query.exec(QStringLiteral("delete from urls2 where rowid = ?"), {rowId});
    emit afterDelete();
}
