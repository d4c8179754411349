#include "project/store/urlreplacement.h"

#include "project/readers/w3cdatetime.h"
#include "project/store/sitemaplastmods.h"

#include <QAnyStringView>
#include <QUtf8StringView>
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
    m_keys.reserve(size_t(count));
}

qsizetype UrlReplacement::Index::insert(const QStringList &urls, const QString &url)
{
    const quint64 hash = SitemapLastmods::key(url);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const qsizetype place = m_slots[slot];
        if (place < 0) {
            m_slots[slot] = qsizetype(m_keys.size());
            m_keys.push_back(hash);
            return -1;
        }
        if (m_keys[size_t(place)] == hash && urls.at(place) == url)
            return place;
    }
}

qsizetype UrlReplacement::Index::find(const QStringList &urls, const QString &url) const
{
    const quint64 hash = SitemapLastmods::key(url);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const qsizetype place = m_slots[slot];
        if (place < 0)
            return -1;
        if (m_keys[size_t(place)] == hash && urls.at(place) == url)
            return place;
    }
}

qsizetype UrlReplacement::Index::findKey(quint64 key) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = size_t(key) & mask;; slot = (slot + 1) & mask) {
        const qsizetype place = m_slots[slot];
        if (place < 0 || m_keys[size_t(place)] == key)
            return place;
    }
}

void UrlReplacement::createTables(ProjectQuery &query)
{
    SitemapLastmods::createTable(query);
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
    // The first occurrence of a URL counts, with its lastmod. The lastmods are
    // taken as given (shared, not copied) up to the first URL given twice.
    QStringList &urls = m_urls;
    QStringList lastmods;
    bool twice = false;
    urls.reserve(given.size());
    m_index.reserve(given.size());
    for (qsizetype i = 0; i < given.size(); ++i) {
        if (m_index.insert(urls, given.at(i)) >= 0) {
            if (givenLastmods && !twice)
                lastmods = givenLastmods->first(i);
            twice = true;
            continue;
        }
        urls.append(given.at(i));
        if (givenLastmods && twice)
            lastmods.append(givenLastmods->at(i));
    }
    if (givenLastmods && !twice)
        lastmods = *givenLastmods;
    m_row.assign(size_t(urls.size()), 0);

    readRows();
    if (std::find(m_row.cbegin(), m_row.cend(), 0) != m_row.cend())
        readHistory();
    if (givenLastmods)
        encodeLastmods(lastmods);
    if (givenLastmods || !m_departing.empty() || !m_returning.empty())
        weighStoredLastmods(givenLastmods ? &lastmods : nullptr);

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
        for (const auto &[i, lastmod] : m_returning)
            back << urls.at(i);
        execIn(m_query, QStringLiteral("delete from urls2_history where Projectid = ? and Url in "), {m_projectId},
               back);
    }
    storeLastmods();
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

void UrlReplacement::encodeLastmods(const QStringList &lastmods)
{
    qsizetype bound = 0;
    for (const QString &lastmod : lastmods)
        if (!lastmod.isEmpty())
            bound += SitemapLastmods::entryBound(lastmod);
    m_image = QByteArray(bound, Qt::Uninitialized);
    char *out = m_image.data();
    for (qsizetype i = 0; i < lastmods.size(); ++i)
        if (!lastmods.at(i).isEmpty())
            out = SitemapLastmods::putEntry(out, m_index.key(i), lastmods.at(i));
    m_image.truncate(out - m_image.constData());
    m_imageChanged = true;
}

void UrlReplacement::weighStoredLastmods(const QStringList *lastmods)
{
    m_stored = SitemapLastmods::read(m_query, m_projectId);
    if (lastmods) {
        m_hadLastmod.assign(size_t(lastmods->size()), false);
        m_lastmodChanged.assign(size_t(lastmods->size()), false);
        if (m_stored == m_image) {
            // The weekly import of an unchanged site: every lastmod as stored, nothing to write.
            for (qsizetype at = 0; at < lastmods->size(); ++at)
                m_hadLastmod[size_t(at)] = !lastmods->at(at).isEmpty();
            m_imageChanged = false;
            return;
        }
    }
    // The URLs that leave, by key, to take their lastmods into the history.
    std::unordered_map<quint64, QString *> departing;
    for (auto &[url, lastmod] : m_departing)
        departing.try_emplace(SitemapLastmods::key(url), &lastmod);
    QByteArray kept;    // for a URL list: the stored entries that stay
    qsizetype next = 0; // the place in the list the next stored URL is expected at
    quint64 key = 0;
    QByteArrayView lastmod;
    for (qsizetype start = 0, end = 0; SitemapLastmods::readEntry(m_stored, end, key, lastmod); start = end) {
        qsizetype at = next < m_urls.size() && m_index.key(next) == key ? next : m_index.findKey(key);
        if (at >= 0)
            next = at + 1;
        if (at >= 0 && lastmods) {
            if (m_hadLastmod[size_t(at)])
                continue; // of a URL stored twice the first counts
            m_hadLastmod[size_t(at)] = true;
            // Texts that are the same name the same moment: only different ones are parsed.
            const QString &now = lastmods->at(at);
            if (!QAnyStringView::equal(QUtf8StringView(lastmod), now))
                m_lastmodChanged[size_t(at)] = changed(QString::fromUtf8(lastmod), now);
        } else if (at >= 0) {
            // A URL list keeps what is stored for its URLs, but for those coming back
            // with the lastmod kept in the history.
            if (m_returning.count(at) == 0)
                kept.append(m_stored.constData() + start, end - start);
            else
                m_imageChanged = true;
        } else {
            if (const auto gone = departing.find(key); gone != departing.end() && gone->second->isEmpty())
                *gone->second = QString::fromUtf8(lastmod);
            m_imageChanged = true; // a URL no longer held keeps its lastmod in the history only
        }
    }
    if (lastmods)
        return;
    m_image = std::move(kept);
    std::vector<qsizetype> back;
    for (const auto &[at, history] : m_returning)
        if (!history.isEmpty())
            back.push_back(at);
    std::sort(back.begin(), back.end());
    for (const qsizetype at : back)
        SitemapLastmods::appendEntry(m_image, m_index.key(at), m_returning.at(at));
    m_imageChanged = m_imageChanged || !back.empty();
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
            restored = m_hadLastmod[i] ? !m_lastmodChanged[i] : !changed(back->second, lastmods->at(qsizetype(i)));
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

void UrlReplacement::storeLastmods()
{
    if (!m_imageChanged)
        return;
    SitemapLastmods::write(m_query, m_projectId, m_image);
}
