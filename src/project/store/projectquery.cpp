#include "project/store/projectquery.h"

#include "project/store/urltable.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

#include <cerrno>
#include <sys/statvfs.h>

namespace {

// The database's own reason ("attempt to write a readonly database"), without
// the driver's addition ("Unable to fetch row") when there is one.
QString errorText(const QSqlError &error, const QString &fallback)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

// SQLite's primary result codes for a full disk and for a failed system call.
constexpr int SqliteIoError = 10;
constexpr int SqliteFull = 13;

// Why the system refused a write to the database file. SQLite says only
// "database or disk is full" or "disk I/O error"; the error number the failing
// call left is the system's own reason. SQLite also probes for files that may
// not exist, so only the numbers a write ends with are taken.
QString storageReason(const QString &path, int systemError, bool full)
{
    switch (systemError) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
    case EIO:
    case EROFS:
        return qt_error_string(systemError);
    default:
        break;
    }
    struct statvfs space = {};
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    if (full || (::statvfs(directory.constData(), &space) == 0 && space.f_bavail == 0))
        return qt_error_string(ENOSPC);
    return {};
}

} // namespace

UrlTableError ProjectQuery::failure(const QSqlQuery &query, int systemError, const QString &fallback) const
{
    const QSqlError error = query.lastError();
    const int primary = error.nativeErrorCode().toInt() & 0xff;
    if (primary == SqliteIoError || primary == SqliteFull) {
        const QString path =
            QFileInfo(QSqlDatabase::database(m_connectionName, false).databaseName()).absoluteFilePath();
        QString reason = storageReason(path, systemError, primary == SqliteFull);
        if (reason.isEmpty())
            reason = errorText(error, fallback);
        return UrlTableError(QStringLiteral("Unable to write to %1: %2").arg(path, reason),
                             UrlTableError::Kind::Storage);
    }
    return UrlTableError(errorText(error, fallback));
}

ProjectQuery::ProjectQuery(const QString &connectionName) : m_connectionName(connectionName)
{}

QSqlQuery &ProjectQuery::prepared(const QString &statement, const QVariantList &values)
{
    m_lastStatement = statement;
    auto it = m_statements.find(statement);
    if (it == m_statements.end()) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        query.setForwardOnly(true);
        errno = 0;
        if (!query.prepare(statement)) {
            const int systemError = errno;
            throw failure(query, systemError, QStringLiteral("Cannot prepare: ") + statement);
        }
        it = m_statements.insert(statement, query);
    }
    QSqlQuery &query = it.value();
    query.finish();
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    errno = 0;
    if (!query.exec()) {
        const int systemError = errno;
        throw failure(query, systemError, QStringLiteral("Cannot execute: ") + statement);
    }
    return query;
}

int ProjectQuery::exec(const QString &statement, const QVariantList &values)
{
    QSqlQuery &query = prepared(statement, values);
    const int changed = query.numRowsAffected();
    query.finish();
    return changed;
}

QSqlQuery &ProjectQuery::select(const QString &statement, const QVariantList &values)
{
    return prepared(statement, values);
}

int ProjectQuery::deleteProject(int projectId)
{
    return exec(QStringLiteral("delete from urls2 where Projectid = ?"), {projectId});
}

int ProjectQuery::enableColumn(int column, int projectId)
{
    if (column < 1 || column > FlagColumnCount)
        throw UrlTableError(QStringLiteral("Invalid URL table column: E%1").arg(column));
    return exec(QStringLiteral("update urls2 set E%1 = true where Projectid = ?").arg(column), {projectId});
}

int ProjectQuery::enableAllColumns(int projectId)
{
    QString assignments;
    for (int column = 1; column <= FlagColumnCount; ++column) {
        if (column > 1)
            assignments += QStringLiteral(", ");
        assignments += columnName(column) + QStringLiteral(" = true");
    }
    return exec(QStringLiteral("update urls2 set %1 where Projectid = ?").arg(assignments), {projectId});
}

int ProjectQuery::setUrlFlag(const QString &column, int projectId, const QString &url, bool value)
{
    const int number = *columnNumber(checkedColumn(column));
    // The texts are made once: a run sets a flag for every URL it sends.
    static const QStringList statements = [] {
        QStringList texts;
        for (int n = 1; n <= FlagColumnCount; ++n)
            for (const char *text : {"false", "true"})
                texts << QStringLiteral("update urls2 set %1 = %2 where Projectid = ? and url = ?")
                             .arg(columnName(n), QLatin1String(text));
        return texts;
    }();
    return exec(statements.at((number - 1) * 2 + (value ? 1 : 0)), {projectId, UrlTable::storedText(url)});
}

int ProjectQuery::setRowFlag(const QString &column, qint64 rowId, bool value)
{
    const int number = *columnNumber(checkedColumn(column));
    static const QStringList statements = [] {
        QStringList texts;
        for (int n = 1; n <= FlagColumnCount; ++n)
            for (const char *text : {"false", "true"})
                texts << QStringLiteral("update urls2 set %1 = %2 where rowid = ?")
                             .arg(columnName(n), QLatin1String(text));
        return texts;
    }();
    return exec(statements.at((number - 1) * 2 + (value ? 1 : 0)), {rowId});
}

std::optional<int> ProjectQuery::columnNumber(const QString &column)
{
    if (column.size() < 2 || column.size() > 3 || (column.at(0) != u'E' && column.at(0) != u'e'))
        return std::nullopt;
    if (column.at(1) == u'0')
        return std::nullopt;
    int number = 0;
    for (int i = 1; i < column.size(); ++i) {
        const QChar c = column.at(i);
        if (c < u'0' || c > u'9')
            return std::nullopt;
        number = number * 10 + (c.unicode() - u'0');
    }
    if (number < 1 || number > FlagColumnCount)
        return std::nullopt;
    return number;
}

QString ProjectQuery::columnName(int column)
{
    return QStringLiteral("E%1").arg(column);
}

QString ProjectQuery::checkedColumn(const QString &column)
{
    const std::optional<int> number = columnNumber(column);
    if (!number)
        throw UrlTableError(QStringLiteral("Invalid URL table column: \"%1\"").arg(column.left(40)));
    return columnName(*number);
}

void ProjectQuery::clear()
{
    m_statements.clear();
}
