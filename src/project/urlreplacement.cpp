#include "project/urlreplacement.h"

#include "project/w3cdatetime.h"

#include <algorithm>
#include <bit>

namespace {

const QString &flagColumns()
{
    static const QString columns = [] {
        QStringList names;
        for (int column = 1; column <= ProjectQuery::FlagColumnCount; ++column)
            names << ProjectQuery::columnName(column);
        return names.join(QStringLiteral(", "));
    }();
    return columns;
}

// Runs head + "(?, ?, ...)" over items, a fixed number of them a statement so
// that one prepared text serves every call: the last statement repeats its last
// item, which an "in (...)" list does not mind.
void execIn(ProjectQuery &query, const QString &head, const QVariantList &fixed, const QVariantList &items,
            const QString &tail = QString())
{
    constexpr qsizetype PerStatement = 256; // with the fixed values, below SQLite's oldest limit of 999
    if (items.isEmpty())
        return;
    const QString statement =
        head + QStringLiteral("(?") + QStringLiteral(", ?").repeated(PerStatement - 1) + QStringLiteral(")") + tail;
    QVariantList values;
    values.reserve(fixed.size() + PerStatement);
    for (qsizetype at = 0; at < items.size(); at += PerStatement) {
        values = fixed;
        for (qsizetype i = 0; i < PerStatement; ++i)
            values << items.at(std::min(at + i, items.size() - 1));
        query.exec(statement, values);
    }
}

// Appends rows many a statement. The rows of a statement are a power of two, so
// that a handful of prepared texts serves any count; rows keep the order added.
class RowInserter
{
public:
    RowInserter(ProjectQuery &query, QString head, QString row, int valuesPerRow)
        : m_query(query), m_head(std::move(head)), m_row(std::move(row)), m_valuesPerRow(valuesPerRow)
    {}

    void add(const QVariantList &values)
    {
        m_values << values;
        if (m_values.size() == MaxRows * m_valuesPerRow)
            flush();
    }
    void flush()
    {
        qsizetype at = 0;
        while (at < m_values.size()) {
            const qsizetype rows = qsizetype(std::bit_floor(size_t((m_values.size() - at) / m_valuesPerRow)));
            const QString statement = m_head + m_row + (QStringLiteral(", ") + m_row).repeated(rows - 1);
            m_query.exec(statement, m_values.mid(at, rows * m_valuesPerRow));
            at += rows * m_valuesPerRow;
        }
        m_values.clear();
    }

private:
    static constexpr qsizetype MaxRows = 256;
    ProjectQuery &m_query;
    QString m_head;
    QString m_row;
    qsizetype m_valuesPerRow;
    QVariantList m_values;
};

RowInserter lastmodInserter(ProjectQuery &query)
{
    return RowInserter(query, QStringLiteral("insert into urls2_lastmod (Projectid, Url, Lastmod) values "),
                       QStringLiteral("(?, ?, ?)"), 3);
}

// Both lastmods there and not naming the same moment.
bool changed(const QString &before, const QString &now)
{
    return !before.isEmpty() && !now.isEmpty() && !sameLastmod(before, now);
}

} // namespace

// Open addressing over one array: a node per URL, as the standard maps have, made
// building and freeing the index a fifth of a weekly import.
void UrlReplacement::Index::reserve(qsizetype count)
{
    size_t size = 16;
    while (size < size_t(count) * 2)
        size *= 2;
    m_slots.assign(size, -1);
    m_hashes.reserve(size_t(count));
}

qsizetype UrlReplacement::Index::insert(const QStringList &urls, const QString &url)
{
    const size_t hash = TextHash()(url);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const qsizetype place = m_slots[slot];
        if (place < 0) {
            m_slots[slot] = qsizetype(m_hashes.size());
            m_hashes.push_back(hash);
            return -1;
        }
        if (m_hashes[size_t(place)] == hash && urls.at(place) == url)
            return place;
    }
}

qsizetype UrlReplacement::Index::find(const QStringList &urls, const QString &url) const
{
    const size_t hash = TextHash()(url);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const qsizetype place = m_slots[slot];
        if (place < 0)
            return -1;
        if (m_hashes[size_t(place)] == hash && urls.at(place) == url)
            return place;
    }
}

void UrlReplacement::createTables(ProjectQuery &query)
{
    query.exec(
        QStringLiteral("create table if not exists urls2_lastmod (Projectid REAL, Url VARCHAR(255), Lastmod TEXT)"));
    // By project only: its rows are read whole, and an index by URL would make storing
    // the lastmods of a first import, in no order of URL, cost twice as much.
    query.exec(QStringLiteral("create index if not exists urls2_lastmod_project on urls2_lastmod (Projectid)"));
    QString flags;
    for (int column = 1; column <= ProjectQuery::FlagColumnCount; ++column)
        flags += QStringLiteral(", %1 BOOLEAN").arg(ProjectQuery::columnName(column));
    query.exec(QStringLiteral("create table if not exists urls2_history (Projectid REAL, Url VARCHAR(255)%1, "
                              "Lastmod TEXT)")
                   .arg(flags));
    // One row per project and URL: a URL leaving again replaces what was kept.
    query.exec(QStringLiteral("create unique index if not exists urls2_history_project_url "
                              "on urls2_history (Projectid, Url)"));
}

UrlReplacement::UrlReplacement(ProjectQuery &query, int projectId) : m_query(query), m_projectId(projectId)
{}

qsizetype UrlReplacement::place(const QString &url, qsizetype &next) const
{
    // Rows are mostly read in the order the list gives: a look at the expected
    // place saves a lookup in a table larger than the processor's cache.
    if (next < m_urls.size() && m_urls.at(next) == url)
        return next++;
    const qsizetype at = m_index.find(m_urls, url);
    if (at >= 0)
        next = at + 1;
    return at;
}

int UrlReplacement::run(const QStringList &given, const QStringList *givenLastmods)
{
    // The first occurrence of a URL counts, with its lastmod.
    QStringList &urls = m_urls;
    QStringList lastmods;
    urls.reserve(given.size());
    m_index.reserve(given.size());
    for (qsizetype i = 0; i < given.size(); ++i) {
        if (m_index.insert(urls, given.at(i)) >= 0)
            continue;
        urls.append(given.at(i));
        if (givenLastmods)
            lastmods.append(givenLastmods->at(i));
    }
    m_row.assign(size_t(urls.size()), 0);

    readRows();
    if (givenLastmods || !m_departing.empty())
        readLastmods(givenLastmods ? &lastmods : nullptr);
    if (std::find(m_row.cbegin(), m_row.cend(), 0) != m_row.cend())
        readHistory();

    // Those that leave go first: their flags are read from the rows about to go, in
    // row order, so that the history tells the order they left in.
    execIn(m_query,
           QStringLiteral("insert or replace into urls2_history (Projectid, Url, %1) select Projectid, Url, %1 from "
                          "urls2 where rowid in ")
               .arg(flagColumns()),
           {}, m_departingRows, QStringLiteral(" order by rowid"));
    for (const auto &[url, lastmod] : m_departing)
        if (!lastmod.isEmpty())
            m_query.exec(QStringLiteral("update urls2_history set Lastmod = ? where Projectid = ? and Url = ?"),
                         {lastmod, m_projectId, url});
    execIn(m_query, QStringLiteral("delete from urls2 where rowid in "), {}, m_doomedRows);

    if (givenLastmods) {
        QVariantList changedRows;
        for (size_t i = 0; i < m_row.size(); ++i)
            if (m_row[i] != 0 && m_lastmodChanged[i])
                changedRows << m_row[i];
        QString enable;
        for (int column = 1; column <= ProjectQuery::FlagColumnCount; ++column)
            enable += (column > 1 ? QStringLiteral(", ") : QString()) + ProjectQuery::columnName(column) +
                      QStringLiteral(" = true");
        execIn(m_query, QStringLiteral("update urls2 set %1 where rowid in ").arg(enable), {}, changedRows);
    }

    const int added = appendNewRows(urls, givenLastmods ? &lastmods : nullptr);

    if (!m_returning.empty()) {
        QVariantList back;
        RowInserter restoredLastmods = lastmodInserter(m_query);
        for (const auto &[i, lastmod] : m_returning) {
            back << urls.at(i);
            if (!givenLastmods && !lastmod.isEmpty())
                restoredLastmods.add({m_projectId, urls.at(i), lastmod});
        }
        restoredLastmods.flush();
        execIn(m_query, QStringLiteral("delete from urls2_history where Projectid = ? and Url in "), {m_projectId},
               back);
    }
    if (givenLastmods)
        storeLastmods(urls, lastmods);
    execIn(m_query, QStringLiteral("delete from urls2_lastmod where rowid in "), {}, m_doomedLastmods);
    return added;
}

void UrlReplacement::readRows()
{
    QSqlQuery &rows = m_query.select(QStringLiteral("select rowid, Url from urls2 where Projectid = ? order by rowid"),
                                     {m_projectId});
    qsizetype next = 0;
    while (rows.next()) {
        const qint64 rowId = rows.value(0).toLongLong();
        const QVariant url = rows.value(1);
        if (!url.isNull()) {
            QString text = url.toString();
            if (const qsizetype at = place(text, next); at >= 0) {
                if (m_row[size_t(at)] == 0) {
                    m_row[size_t(at)] = rowId;
                    continue;
                }
            } else if (m_departing.try_emplace(std::move(text)).second) {
                m_departingRows << rowId;
            }
        }
        m_doomedRows << rowId;
    }
    rows.finish();
}

void UrlReplacement::readLastmods(const QStringList *lastmods)
{
    if (lastmods) {
        m_lastmodRow.assign(size_t(lastmods->size()), 0);
        m_lastmodChanged.assign(size_t(lastmods->size()), false);
    }
    QSqlQuery &rows = m_query.select(
        QStringLiteral("select rowid, Url, Lastmod from urls2_lastmod where Projectid = ? order by rowid"),
        {m_projectId});
    qsizetype next = 0;
    while (rows.next()) {
        const qint64 rowId = rows.value(0).toLongLong();
        const QString url = rows.value(1).toString();
        if (const qsizetype at = place(url, next); at >= 0) {
            if (!lastmods)
                continue; // a URL list leaves the lastmods of the URLs that stay alone
            if (m_lastmodRow[size_t(at)] == 0) {
                m_lastmodRow[size_t(at)] = rowId;
                const QString stored = rows.value(2).toString(); // stored trimmed
                const QString &now = lastmods->at(at);
                m_lastmodChanged[size_t(at)] = changed(stored, now);
                if (now.isEmpty())
                    m_doomedLastmods << rowId;
                else if (stored != now)
                    m_rewrittenLastmods.push_back({rowId, at});
                continue;
            }
        } else if (const auto gone = m_departing.find(url); gone != m_departing.end()) {
            if (gone->second.isEmpty())
                gone->second = rows.value(2).toString();
        } else if (!lastmods) {
            continue;
        }
        m_doomedLastmods << rowId;
    }
    rows.finish();
}

void UrlReplacement::readHistory()
{
    QSqlQuery &rows =
        m_query.select(QStringLiteral("select Url, Lastmod from urls2_history where Projectid = ?"), {m_projectId});
    while (rows.next()) {
        const qsizetype at = m_index.find(m_urls, rows.value(0).toString());
        if (at >= 0 && m_row[size_t(at)] == 0)
            m_returning.emplace(at, rows.value(1).toString().trimmed());
    }
    rows.finish();
}

int UrlReplacement::appendNewRows(const QStringList &urls, const QStringList *lastmods)
{
    const QString columns = flagColumns();
    RowInserter fresh(m_query, QStringLiteral("insert into urls2 (Projectid, Url, %1) values ").arg(columns),
                      QStringLiteral("(?, ?") + QStringLiteral(", true").repeated(ProjectQuery::FlagColumnCount) +
                          QStringLiteral(")"),
                      2);
    const QString restore = QStringLiteral("insert into urls2 (Projectid, Url, %1) select ?, Url, %1 from "
                                           "urls2_history where Projectid = ? and Url = ? limit 1")
                                .arg(columns);
    int added = 0;
    for (size_t i = 0; i < m_row.size(); ++i) {
        if (m_row[i] != 0)
            continue;
        const QString &url = urls.at(qsizetype(i));
        const auto back = m_returning.find(qsizetype(i));
        bool restored = back != m_returning.end();
        if (restored && lastmods)
            restored = m_lastmodRow[i] != 0 ? !m_lastmodChanged[i] : !changed(back->second, lastmods->at(qsizetype(i)));
        if (restored) {
            fresh.flush(); // the rows stay in the order given
            m_query.exec(restore, {m_projectId, m_projectId, url});
        } else {
            fresh.add({m_projectId, url});
        }
        ++added;
    }
    fresh.flush();
    return added;
}

void UrlReplacement::storeLastmods(const QStringList &urls, const QStringList &lastmods)
{
    for (const auto &[rowId, at] : m_rewrittenLastmods)
        m_query.exec(QStringLiteral("update urls2_lastmod set Lastmod = ? where rowid = ?"), {lastmods.at(at), rowId});
    RowInserter inserter = lastmodInserter(m_query);
    for (size_t i = 0; i < m_lastmodRow.size(); ++i)
        if (m_lastmodRow[i] == 0 && !lastmods.at(qsizetype(i)).isEmpty())
            inserter.add({m_projectId, urls.at(qsizetype(i)), lastmods.at(qsizetype(i))});
    inserter.flush();
}
