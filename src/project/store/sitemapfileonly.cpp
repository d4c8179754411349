#include "project/store/sitemapfileonly.h"

#include "project/store/sitemaplastmods.h"
#include "project/store/urltable.h"

#include <QtEndian>

namespace {

constexpr qsizetype KeyBytes = 8;

bool tableExists(ProjectQuery &query)
{
    QSqlQuery &found = query.select(
        QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'urls2_fileonly'"));
    const bool exists = found.next() && found.value(0).toInt() > 0;
    found.finish();
    return exists;
}

} // namespace

quint64 SitemapFileOnly::key(const QString &url)
{
    // Matched against the URL table's rows, which hold the stored text.
    return SitemapLastmods::key(UrlTable::storedText(url));
}

void SitemapFileOnly::write(ProjectQuery &query, int projectId, const QStringList &urls)
{
    if (urls.isEmpty()) {
        if (tableExists(query))
            query.exec(QStringLiteral("delete from urls2_fileonly where Projectid = ?"), {projectId});
        return;
    }
    query.exec(QStringLiteral(
        "create table if not exists urls2_fileonly (Projectid INTEGER PRIMARY KEY, Keys BLOB NOT NULL)"));
    QByteArray keys(urls.size() * KeyBytes, Qt::Uninitialized);
    for (qsizetype i = 0; i < urls.size(); ++i)
        qToLittleEndian<quint64>(key(urls.at(i)), keys.data() + i * KeyBytes);
    query.exec(QStringLiteral("insert or replace into urls2_fileonly (Projectid, Keys) values (?, ?)"),
               {projectId, keys});
}

QSet<quint64> SitemapFileOnly::read(ProjectQuery &query, int projectId)
{
    if (!tableExists(query))
        return {};
    QSqlQuery &row = query.select(QStringLiteral("select Keys from urls2_fileonly where Projectid = ?"), {projectId});
    const QByteArray keys = row.next() ? row.value(0).toByteArray() : QByteArray();
    row.finish();
    QSet<quint64> result;
    // A value cut short part-way keeps the whole keys before the cut.
    for (qsizetype at = 0; at + KeyBytes <= keys.size(); at += KeyBytes)
        result.insert(qFromLittleEndian<quint64>(keys.constData() + at));
    return result;
}
