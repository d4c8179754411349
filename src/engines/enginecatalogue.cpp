#include "engines/enginecatalogue.h"

#include "engines/enginelist.h"

#include <algorithm>

EngineCatalogue EngineCatalogue::load(const QString &path)
{
    QStringList names = engineListSections(path);
    std::stable_sort(names.begin(), names.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EngineCatalogue catalogue;
    catalogue.m_listed = names.size();
    for (const QString &name : names.mid(0, MaxEngines))
        catalogue.m_engines.append({name, engineColumn(readEngineSection(path, name))});
    return catalogue;
}

QStringList EngineCatalogue::names() const
{
    QStringList names;
    for (const Engine &engine : m_engines)
        names << engine.name;
    return names;
}

qsizetype EngineCatalogue::indexOf(const QString &name) const
{
    for (qsizetype i = 0; i < m_engines.size(); ++i)
        if (m_engines.at(i).name == name)
            return i;
    return -1;
}

QString EngineCatalogue::columnOf(const QString &name) const
{
    const qsizetype index = indexOf(name);
    return index < 0 ? QString() : m_engines.at(index).column;
}

bool EngineCatalogue::sameColumns(const EngineCatalogue &other) const
{
    if (size() != other.size())
        return false;
    for (qsizetype i = 0; i < size(); ++i)
        if (at(i).name != other.at(i).name || at(i).column != other.at(i).column)
            return false;
    return true;
}
