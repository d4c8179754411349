#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The automatic engines of an engine list as the program offers them: sorted
// without regard to letter case (stable, so equal names keep their file order)
// and cut to the thirty the URL table has columns for, each with its column.
class EngineCatalogue
{
public:
    struct Engine
    {
        QString name;
        QString column; // "E1" … "E30", or "" when the engine list names none
    };

    static constexpr int MaxEngines = 30;

    EngineCatalogue() = default;
    // Reads the automatic list at path; a missing or unreadable file gives no engines.
    static EngineCatalogue load(const QString &path);

    qsizetype size() const { return m_engines.size(); }
    bool isEmpty() const { return m_engines.isEmpty(); }
    const Engine &at(qsizetype index) const { return m_engines.at(index); }
    const QList<Engine> &engines() const { return m_engines; }
    QStringList names() const;
    // The first engine of that name (exact match), or -1.
    qsizetype indexOf(const QString &name) const;
    // The column of the named engine, "" when it has none or is not listed.
    QString columnOf(const QString &name) const;
    // How many engines the list named before the cut to MaxEngines.
    qsizetype listedCount() const { return m_listed; }
    bool isCut() const { return m_listed > m_engines.size(); }
    // The same engines in the same order, each with the same column: a run that
    // downloaded a list changed nothing the flags depend on.
    bool sameColumns(const EngineCatalogue &other) const;

private:
    QList<Engine> m_engines;
    qsizetype m_listed = 0;
};
