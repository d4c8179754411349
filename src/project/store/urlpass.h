#pragma once

#include "project/store/urltable.h"

#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QString>
#include <optional>

// The URLs of the view as one engine pass of a run goes through them: the rows
// of the view when the pass begins, in the view's order, each with its URL and
// the engine's flag column.
//
// They are read in one statement instead of one per URL: a read per URL is a
// transaction per request, which a fast run feels. What a URL reads as is still
// what the table holds when the pass reaches it, for every change made through
// the same UrlTable: the pass's own setFlag() changes its copy as it changes
// the table (every row of the project holding that URL), and any other change
// (an edit in the grid while a request waits, an import, a deletion) makes the
// pass read its rows again before it hands out the next URL. Changes another
// program makes to the file while a pass runs are seen by the next pass.
class UrlPass
{
public:
    // Throws UrlTableError when the rows cannot be read. A column other than
    // E1 ... E30 gives every URL no flag, as UrlTable::flag() does.
    UrlPass(UrlTable &table, const QString &column);

    qsizetype size() const { return m_rows.size(); }
    // The index-th row of the pass as the table holds it now: its URL and
    // flag, or "" and no flag once the row is gone.
    UrlTable::UrlAndFlag at(qsizetype index);
    // UrlTable::setFlag() for the pass's column.
    void setFlag(int projectId, const QString &url, bool value);

private:
    // Brings the copy up to date; returns the rows of the view in its order.
    QList<qint64> read();

    UrlTable &m_table;
    QString m_column;
    std::optional<int> m_project;
    QList<qint64> m_rows;
    QHash<qint64, UrlTable::UrlAndFlag> m_current;
    QMultiHash<QString, qint64> m_byUrl;
    quint64 m_revision = 0;
};
