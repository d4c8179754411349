#include "project/store/sitemaplastmods.h"

#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <map>
#include <unordered_map>

namespace {

constexpr qsizetype KeyBytes = 8;
constexpr qsizetype MaxLengthBytes = 5; // LEB128 of a 32-bit length

} // namespace

// MurmurHash3's 64-bit mixing over the UTF-16 code units, read little-endian.
quint64 SitemapLastmods::key(QStringView url)
{
    const auto mix = [](quint64 k) { return std::rotl(k * 0x87C37B91114253D5ull, 31) * 0x4CF5AD432745937Full; };
    const char *bytes = reinterpret_cast<const char *>(url.utf16());
    qsizetype left = url.size() * qsizetype(sizeof(char16_t));
    quint64 hash = 0x9E3779B97F4A7C15ull ^ quint64(left);
    for (; left >= 8; bytes += 8, left -= 8)
        hash = std::rotl(hash ^ mix(qFromLittleEndian<quint64>(bytes)), 27) * 5 + 0x52DCE729;
    if (left > 0) {
        quint64 tail = 0;
        for (qsizetype i = 0; i < left; ++i)
            tail |= quint64(uchar(bytes[i])) << (8 * i);
        hash ^= mix(tail);
    }
    hash = (hash ^ (hash >> 33)) * 0xFF51AFD7ED558CCDull;
    hash = (hash ^ (hash >> 33)) * 0xC4CEB9FE1A85EC53ull;
    return hash ^ (hash >> 33);
}

qsizetype SitemapLastmods::entryBound(QStringView lastmod)
{
    return KeyBytes + MaxLengthBytes + 3 * lastmod.size();
}

char *SitemapLastmods::putEntry(char *out, quint64 key, QStringView lastmod)
{
    qToLittleEndian<quint64>(key, out);
    out += KeyBytes;
    const auto putLength = [&](quint32 length) {
        for (; length >= 0x80; length >>= 7)
            *out++ = char(0x80 | (length & 0x7F));
        *out++ = char(length);
    };
    // Lastmods are ASCII: a byte a unit, without an encoder's cost per call.
    const bool ascii = std::all_of(lastmod.begin(), lastmod.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        const QByteArray utf8 = lastmod.toUtf8();
        putLength(quint32(utf8.size()));
        return std::copy(utf8.cbegin(), utf8.cend(), out);
    }
    putLength(quint32(lastmod.size()));
    return std::transform(lastmod.begin(), lastmod.end(), out, [](QChar c) { return char(c.unicode()); });
}

void SitemapLastmods::appendEntry(QByteArray &value, quint64 key, QStringView lastmod)
{
    const qsizetype at = value.size();
    value.resize(at + entryBound(lastmod));
    value.truncate(putEntry(value.data() + at, key, lastmod) - value.constData());
}

bool SitemapLastmods::readEntry(QByteArrayView value, qsizetype &at, quint64 &key, QByteArrayView &lastmod)
{
    if (value.size() - at < KeyBytes)
        return false;
    key = qFromLittleEndian<quint64>(value.data() + at);
    qsizetype next = at + KeyBytes;
    quint64 length = 0;
    for (int shift = 0;; shift += 7) {
        if (next == value.size() || shift > 28)
            return false;
        const uchar byte = uchar(value.at(next++));
        length |= quint64(byte & 0x7F) << shift;
        if (byte < 0x80)
            break;
    }
    if (length > quint64(value.size() - next))
        return false;
    lastmod = value.sliced(next, qsizetype(length));
    at = next + qsizetype(length);
    return true;
}

namespace {

// Files written before urls2_sitemap kept a row per URL in urls2_lastmod (Projectid,
// Url, Lastmod): each project's rows become its value, the first row of a URL
// counting, and the old table goes.
void moveRowLastmods(ProjectQuery &query)
{
    QSqlQuery &table = query.select(
        QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'urls2_lastmod'"));
    const bool present = table.next() && table.value(0).toInt() > 0;
    table.finish();
    if (!present)
        return;
    struct Project
    {
        QByteArray value;
        QSet<QString> seen;
    };
    std::map<qint64, Project> projects;
    QSqlQuery &rows = query.select(QStringLiteral("select Projectid, Url, Lastmod from urls2_lastmod where Projectid "
                                                  "is not null and Url is not null order by Projectid, rowid"));
    while (rows.next()) {
        Project &project = projects[rows.value(0).toLongLong()];
        const QString url = rows.value(1).toString();
        const QString lastmod = rows.value(2).toString().trimmed();
        if (!project.seen.contains(url)) {
            project.seen.insert(url);
            if (!lastmod.isEmpty())
                SitemapLastmods::appendEntry(project.value, SitemapLastmods::key(url), lastmod);
        }
    }
    rows.finish();
    for (const auto &[projectId, project] : projects)
        if (!project.value.isEmpty())
            query.exec(QStringLiteral("insert or replace into urls2_sitemap (Projectid, Lastmods) values (?, ?)"),
                       {projectId, project.value});
    query.exec(QStringLiteral("drop table urls2_lastmod"));
}

} // namespace

void SitemapLastmods::createTable(ProjectQuery &query)
{
    query.exec(QStringLiteral(
        "create table if not exists urls2_sitemap (Projectid INTEGER PRIMARY KEY, Lastmods BLOB NOT NULL)"));
    moveRowLastmods(query);
}

QByteArray SitemapLastmods::read(ProjectQuery &query, int projectId)
{
    QSqlQuery &row =
        query.select(QStringLiteral("select Lastmods from urls2_sitemap where Projectid = ?"), {projectId});
    const QByteArray value = row.next() ? row.value(0).toByteArray() : QByteArray();
    row.finish();
    return value;
}

void SitemapLastmods::write(ProjectQuery &query, int projectId, const QByteArray &value)
{
    if (value.isEmpty())
        query.exec(QStringLiteral("delete from urls2_sitemap where Projectid = ?"), {projectId});
    else
        query.exec(QStringLiteral("insert or replace into urls2_sitemap (Projectid, Lastmods) values (?, ?)"),
                   {projectId, value});
}

QStringList SitemapLastmods::lookup(ProjectQuery &query, int projectId, const QStringList &urls)
{
    const QByteArray value = read(query, projectId);
    std::unordered_map<quint64, QString> stored;
    quint64 entryKey = 0;
    QByteArrayView lastmod;
    for (qsizetype at = 0; readEntry(value, at, entryKey, lastmod);)
        stored.try_emplace(entryKey, QString::fromUtf8(lastmod));
    QStringList lastmods;
    for (const QString &url : urls) {
        const auto found = stored.find(key(url));
        lastmods << (found == stored.end() ? QString() : found->second);
    }
    return lastmods;
}
