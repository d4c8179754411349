#include "project/store/enginestate.h"

#include "project/store/projectquery.h"
#include "project/store/urltable.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

QString instantText(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime instantOf(const QVariant &value)
{
    QDateTime when = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(value.toString(), Qt::ISODate);
    return when.toUTC();
}

} // namespace

EngineState::EngineState(UrlTable &table) : m_table(table)
{}

void EngineState::createTables(ProjectQuery &query)
{
    query.exec(QStringLiteral("create table if not exists urls2_sitemaps (Projectid REAL, Position INTEGER, "
                              "Address TEXT)"));
    query.exec(QStringLiteral("create table if not exists urls2_answered (Projectid REAL, Engine TEXT, Url TEXT, "
                              "Answered TEXT, primary key (Projectid, Engine, Url))"));
    query.exec(QStringLiteral("create table if not exists urls2_quota (Engine TEXT, Scope TEXT, Day TEXT, "
                              "Used INTEGER, primary key (Engine, Scope, Day))"));
    query.exec(QStringLiteral("create table if not exists urls2_notbefore (Engine TEXT primary key, Until TEXT)"));
    query.exec(QStringLiteral("create table if not exists urls2_waiting (Projectid REAL, Engine TEXT, Url TEXT, "
                              "Since TEXT, primary key (Projectid, Engine, Url))"));
}

void EngineState::forgetProject(ProjectQuery &query, int projectId)
{
    query.exec(QStringLiteral("delete from urls2_sitemaps where Projectid = ?"), {projectId});
    query.exec(QStringLiteral("delete from urls2_answered where Projectid = ?"), {projectId});
    query.exec(QStringLiteral("delete from urls2_waiting where Projectid = ?"), {projectId});
}

template <typename Work> void EngineState::write(Work &&work)
{
    m_table.writeGrouped(std::forward<Work>(work));
}

QStringList EngineState::sitemaps(int projectId)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Address from urls2_sitemaps where Projectid = ? order by Position"), {projectId});
    QStringList result;
    while (query.next())
        result << query.value(0).toString();
    query.finish();
    return result;
}

void EngineState::setSitemaps(int projectId, const QStringList &sitemaps)
{
    write([&] {
        ProjectQuery &query = m_table.query();
        query.exec(QStringLiteral("delete from urls2_sitemaps where Projectid = ?"), {projectId});
        for (qsizetype i = 0; i < sitemaps.size(); ++i)
            query.exec(QStringLiteral("insert into urls2_sitemaps (Projectid, Position, Address) values (?, ?, ?)"),
                       {projectId, int(i), sitemaps.at(i)});
    });
}

QHash<QString, QDateTime> EngineState::lastAnswers(int projectId, const QString &engine)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Url, Answered from urls2_answered where Projectid = ? and Engine = ?"),
        {projectId, engine});
    QHash<QString, QDateTime> result;
    while (query.next())
        result.insert(query.value(0).toString(), instantOf(query.value(1)));
    query.finish();
    return result;
}

void EngineState::setAnswered(int projectId, const QString &engine, const QString &url, const QDateTime &when)
{
    write([&] {
        m_table.query().exec(QStringLiteral("insert or replace into urls2_answered (Projectid, Engine, Url, Answered) "
                                            "values (?, ?, ?, ?)"),
                             {projectId, engine, url, instantText(when)});
    });
}

QStringList EngineState::longestUnasked(int projectId, const QString &engine, const QStringList &urls)
{
    const QHash<QString, QDateTime> answered = lastAnswers(projectId, engine);
    QStringList ordered = urls;
    // Stable: URLs never answered (an invalid time sorts first) keep their order.
    std::stable_sort(ordered.begin(), ordered.end(), [&answered](const QString &a, const QString &b) {
        const QDateTime first = answered.value(a);
        const QDateTime second = answered.value(b);
        if (!first.isValid() || !second.isValid())
            return !first.isValid() && second.isValid();
        return first < second;
    });
    return ordered;
}

int EngineState::quotaUsed(const QString &engine, const QString &scope, const QDate &day)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Used from urls2_quota where Engine = ? and Scope = ? and Day = ?"),
        {engine, scope, day.toString(Qt::ISODate)});
    const int used = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return used;
}

void EngineState::addQuotaUse(const QString &engine, const QString &scope, const QDate &day, int calls)
{
    write([&] {
        ProjectQuery &query = m_table.query();
        const QString dayText = day.toString(Qt::ISODate);
        query.exec(QStringLiteral("insert or ignore into urls2_quota (Engine, Scope, Day, Used) values (?, ?, ?, 0)"),
                   {engine, scope, dayText});
        query.exec(QStringLiteral("update urls2_quota set Used = Used + ? where Engine = ? and Scope = ? and Day = ?"),
                   {calls, engine, scope, dayText});
        // Days gone by are of no more use.
        query.exec(QStringLiteral("delete from urls2_quota where Day < ?"), {day.addDays(-7).toString(Qt::ISODate)});
    });
}

QDateTime EngineState::notBefore(const QString &engine, const QDateTime &now)
{
    QSqlQuery &query =
        m_table.query().select(QStringLiteral("select Until from urls2_notbefore where Engine = ?"), {engine});
    const QDateTime until = query.next() ? instantOf(query.value(0)) : QDateTime();
    query.finish();
    return until.isValid() && until > now ? until : QDateTime();
}

void EngineState::setNotBefore(const QString &engine, const QDateTime &until)
{
    write([&] {
        if (until.isValid())
            m_table.query().exec(QStringLiteral("insert or replace into urls2_notbefore (Engine, Until) values (?, ?)"),
                                 {engine, instantText(until)});
        else
            m_table.query().exec(QStringLiteral("delete from urls2_notbefore where Engine = ?"), {engine});
    });
}

QHash<QString, QDateTime> EngineState::setWaiting(int projectId, const QString &engine, const QStringList &urls,
                                                  const QDateTime &now)
{
    QSqlQuery &query = m_table.query().select(
        QStringLiteral("select Url, Since from urls2_waiting where Projectid = ? and Engine = ?"), {projectId, engine});
    QHash<QString, QDateTime> before;
    while (query.next())
        before.insert(query.value(0).toString(), instantOf(query.value(1)));
    query.finish();
    QHash<QString, QDateTime> since;
    for (const QString &url : urls)
        since.insert(url, before.value(url, now.toUTC()));
    if (since == before)
        return since;
    write([&] {
        ProjectQuery &write = m_table.query();
        write.exec(QStringLiteral("delete from urls2_waiting where Projectid = ? and Engine = ?"), {projectId, engine});
        for (auto it = since.cbegin(); it != since.cend(); ++it)
            write.exec(QStringLiteral("insert into urls2_waiting (Projectid, Engine, Url, Since) values (?, ?, ?, ?)"),
                       {projectId, engine, it.key(), instantText(it.value())});
    });
    return since;
}
