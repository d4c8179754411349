#include "project/store/pagestate.h"

#include "project/store/projectquery.h"
#include "project/store/urltable.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

QString instantText(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

PageState::PageState(UrlTable &table) : m_table(table)
{}

void PageState::createTables(ProjectQuery &query)
{
    query.exec(QStringLiteral("create table if not exists urls2_pagecheck (Projectid REAL, Url TEXT, ETag BLOB, "
                              "LastModified BLOB, Fingerprint BLOB, VerdictKind INTEGER, VerdictText TEXT, "
                              "StatusLine TEXT, Checked TEXT, RawHash BLOB, primary key (Projectid, Url))"));
    // A file of an older version has the table without the raw hash: it gains the column, empty.
    QSqlQuery &columns = query.select(QStringLiteral("pragma table_info(urls2_pagecheck)"));
    bool hasRawHash = false;
    while (columns.next())
        hasRawHash = hasRawHash || columns.value(1).toString().compare(u"RawHash", Qt::CaseInsensitive) == 0;
    columns.finish();
    if (!hasRawHash)
        query.exec(QStringLiteral("alter table urls2_pagecheck add column RawHash BLOB"));
    query.exec(QStringLiteral("create table if not exists urls2_accepted (Projectid REAL, Engine TEXT, Url TEXT, "
                              "Fingerprint BLOB, primary key (Projectid, Engine, Url))"));
    query.exec(QStringLiteral("create table if not exists urls2_deleted (Projectid REAL, Engine TEXT, Url TEXT, "
                              "Announced TEXT, primary key (Projectid, Engine, Url))"));
}

void PageState::forgetProject(ProjectQuery &query, int projectId)
{
    for (const char *table : {"urls2_pagecheck", "urls2_accepted", "urls2_deleted"})
        query.exec(QStringLiteral("delete from %1 where Projectid = ?").arg(QLatin1String(table)), {projectId});
}

template <typename Work> void PageState::write(Work &&work)
{
    // A savepoint nests in the run's open group of flag writes, and is a
    // transaction of its own outside one: either way all of it or none.
    ProjectQuery &query = m_table.query();
    try {
        query.exec(QStringLiteral("savepoint pagestate"));
        try {
            work(query);
            query.exec(QStringLiteral("release pagestate"));
        } catch (const UrlTableError &) {
            try {
                query.exec(QStringLiteral("rollback to pagestate"));
                query.exec(QStringLiteral("release pagestate"));
            } catch (const UrlTableError &) {
            }
            throw;
        }
    } catch (const UrlTableError &failure) {
        throw m_table.writeFailure(failure);
    }
}

QHash<QString, PageState::Check> PageState::checks(int projectId)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Url, ETag, LastModified, Fingerprint, VerdictKind, VerdictText, StatusLine, Checked, "
                       "RawHash from urls2_pagecheck where Projectid = ?"),
        {projectId});
    QHash<QString, Check> result;
    while (query.next()) {
        Check check;
        check.etag = query.value(1).toByteArray();
        check.lastModified = query.value(2).toByteArray();
        check.fingerprint = query.value(3).toByteArray();
        check.verdictKind = query.value(4).toInt();
        check.verdictText = query.value(5).toString();
        check.statusLine = query.value(6).toString();
        check.checked = QDateTime::fromString(query.value(7).toString(), Qt::ISODateWithMs).toUTC();
        check.rawHash = query.value(8).toByteArray();
        result.insert(query.value(0).toString(), check);
    }
    query.finish();
    return result;
}

void PageState::setChecks(int projectId, const QHash<QString, Check> &checks)
{
    write([&](ProjectQuery &query) {
        for (auto it = checks.cbegin(); it != checks.cend(); ++it) {
            const Check &c = it.value();
            query.exec(QStringLiteral("insert or replace into urls2_pagecheck (Projectid, Url, ETag, LastModified, "
                                      "Fingerprint, VerdictKind, VerdictText, StatusLine, Checked, RawHash) "
                                      "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                       {projectId, it.key(), c.etag, c.lastModified, c.fingerprint, c.verdictKind, c.verdictText,
                        c.statusLine, instantText(c.checked), c.rawHash});
        }
    });
}

QHash<QString, QByteArray> PageState::accepted(int projectId, const QString &engine)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Url, Fingerprint from urls2_accepted where Projectid = ? and Engine = ?"),
        {projectId, engine});
    QHash<QString, QByteArray> result;
    while (query.next())
        result.insert(query.value(0).toString(), query.value(1).toByteArray());
    query.finish();
    return result;
}

void PageState::setAccepted(int projectId, const QString &engine, const QHash<QString, QByteArray> &fingerprints)
{
    if (fingerprints.isEmpty())
        return;
    write([&](ProjectQuery &query) {
        for (auto it = fingerprints.cbegin(); it != fingerprints.cend(); ++it)
            query.exec(QStringLiteral("insert or replace into urls2_accepted (Projectid, Engine, Url, Fingerprint) "
                                      "values (?, ?, ?, ?)"),
                       {projectId, engine, it.key(), it.value()});
    });
}

QSet<QString> PageState::deletionsAccepted(int projectId, const QString &engine)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Url from urls2_deleted where Projectid = ? and Engine = ?"), {projectId, engine});
    QSet<QString> result;
    while (query.next())
        result.insert(query.value(0).toString());
    query.finish();
    return result;
}

void PageState::setDeletionsAccepted(int projectId, const QString &engine, const QStringList &urls,
                                     const QDateTime &when)
{
    if (urls.isEmpty())
        return;
    write([&](ProjectQuery &query) {
        for (const QString &url : urls)
            query.exec(QStringLiteral("insert or replace into urls2_deleted (Projectid, Engine, Url, Announced) "
                                      "values (?, ?, ?, ?)"),
                       {projectId, engine, url, instantText(when)});
    });
}

void PageState::forgetDeletionsOfListedUrls(int projectId)
{
    write([&](ProjectQuery &query) {
        query.exec(QStringLiteral("delete from urls2_deleted where Projectid = ? and Url in (select Url from urls2 "
                                  "where Projectid = ?)"),
                   {projectId, projectId});
    });
}
