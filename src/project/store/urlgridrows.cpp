#include "project/store/urlgridrows.h"

#include "project/store/urltable.h"

#include <QSqlQuery>

qint64 UrlGridRows::appendRow(const std::optional<QString> &url, const QString &flagColumn, std::optional<bool> flag)
{
    QStringList columns;
    QVariantList values;
    // A row added while a project is open is that project's: without its ID no
    // view would show it again and no project's delete would remove it.
    if (const std::optional<int> project = m_table.filterProjectId()) {
        columns << QStringLiteral("Projectid");
        values << *project;
    }
    if (url) {
        columns << QStringLiteral("Url");
        values << UrlTable::storedText(*url);
    }
    if (flag) {
        columns << ProjectQuery::checkedColumn(flagColumn);
        values << (*flag ? 1 : 0);
    }
    ProjectQuery &query = m_table.query();
    m_table.changing();
    m_table.writing([&] {
        if (columns.isEmpty())
            query.exec(QStringLiteral("insert into urls2 default values"));
        else
            query.exec(QStringLiteral("insert into urls2 (%1) values (%2)")
                           .arg(columns.join(QStringLiteral(", ")),
                                QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                       values);
    });
    QSqlQuery &last = query.select(QStringLiteral("select last_insert_rowid()"));
    const qint64 rowId = last.next() ? last.value(0).toLongLong() : -1;
    last.finish();
    emit m_table.viewChanged();
    emit m_table.afterPost();
    return rowId;
}

void UrlGridRows::updateRow(qint64 rowId, const std::optional<QString> &url, const QString &flagColumn,
                            std::optional<bool> flag)
{
    QStringList assignments;
    QVariantList values;
    if (url) {
        assignments << QStringLiteral("Url = ?");
        values << UrlTable::storedText(*url);
    }
    if (flag) {
        assignments << ProjectQuery::checkedColumn(flagColumn) + QStringLiteral(" = ?");
        values << (*flag ? 1 : 0);
    }
    if (assignments.isEmpty())
        return;
    values << rowId;
    m_table.changing();
    m_table.writing([&] {
        m_table.query().exec(
            QStringLiteral("update urls2 set %1 where rowid = ?").arg(assignments.join(QStringLiteral(", "))), values);
    });
    emit m_table.rowsChanged();
    emit m_table.afterPost();
}

void UrlGridRows::deleteRow(qint64 rowId)
{
    m_table.changing();
    m_table.writing([&] { m_table.query().exec(QStringLiteral("delete from urls2 where rowid = ?"), {rowId}); });
    emit m_table.viewChanged();
    emit m_table.afterDelete();
}
