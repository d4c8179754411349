#include "project/store/urlpass.h"

UrlPass::UrlPass(UrlTable &table, const QString &column)
    : m_table(table), m_column(column), m_project(table.filterProjectId())
{
    m_rows = read();
}

QList<qint64> UrlPass::read()
{
    m_current.clear();
    m_byUrl.clear();
    QList<qint64> rows;
    for (UrlTable::UrlRow &row : m_table.viewRows(m_column)) {
        rows.append(row.rowId);
        m_byUrl.insert(row.url, row.rowId);
        m_current.insert(row.rowId, {std::move(row.url), row.flag});
    }
    m_revision = m_table.revision();
    return rows;
}

UrlTable::UrlAndFlag UrlPass::at(qsizetype index)
{
    // Rows added since the pass began are not part of it; those deleted read as gone.
    if (m_revision != m_table.revision())
        read();
    return m_current.value(m_rows.at(index));
}

void UrlPass::setFlag(int projectId, const QString &url, bool value)
{
    if (m_revision != m_table.revision() || m_project != projectId) {
        m_table.setFlag(m_column, projectId, url, value);
        return; // the next at() reads the rows again
    }
    // Up to date, the pass knows every row of the project holding the URL (the
    // stored text, matched exactly as the table's statement would): they are
    // changed by their ids.
    const QString stored = UrlTable::storedText(url);
    QList<qint64> rows;
    for (auto it = m_byUrl.constFind(stored); it != m_byUrl.cend() && it.key() == stored; ++it) {
        rows.append(it.value());
        m_current[it.value()].flag = value;
    }
    m_table.setRowFlags(m_column, rows, value);
    m_revision = m_table.revision();
}
