#include "engines/enginelist.h"

#include "project/session/profilefile.h"

#include <algorithm>
#include <limits>

namespace {

// The characters that end a scanned word (C's white space).
bool isScanSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// The text after key + "=", blanks skipped; nothing when the line carries another key.
bool valueStart(const QString &line, const QString &key, qsizetype *start)
{
    if (!line.startsWith(key) || line.size() <= key.size() || line.at(key.size()) != u'=')
        return false;
    qsizetype i = key.size() + 1;
    while (i < line.size() && isScanSpace(line.at(i)))
        ++i;
    *start = i;
    return true;
}

void setMatched(bool *matched, bool value)
{
    if (matched)
        *matched = value;
}

} // namespace

QStringList engineListSections(const QString &path)
{
    return ProfileFile(path).sectionNames();
}

EngineSection readEngineSection(const QString &path, const QString &name)
{
    EngineSection section;
    for (const auto &[key, value] : ProfileFile(path).keyValues(name)) {
        section.names << key;
        if (!value.isEmpty())
            section.valueLines << key + u'=' + value;
    }
    return section;
}

QString scanField(const QString &line, const QString &key, bool *matched)
{
    qsizetype start = 0;
    if (!valueStart(line, key, &start)) {
        setMatched(matched, false);
        return {};
    }
    qsizetype end = start;
    while (end < line.size() && !isScanSpace(line.at(end)))
        ++end;
    setMatched(matched, end > start);
    QString value = line.mid(start, std::min<qsizetype>(end - start, MaxEngineFieldLength));
    if (!value.isEmpty() && value.back().isHighSurrogate() && end - start > MaxEngineFieldLength)
        value.chop(1); // never leave half a character at the cut
    return value;
}

int scanIntField(const QString &line, const QString &key, bool *matched)
{
    qsizetype i = 0;
    if (!valueStart(line, key, &i)) {
        setMatched(matched, false);
        return 0;
    }
    bool negative = false;
    if (i < line.size() && (line.at(i) == u'+' || line.at(i) == u'-'))
        negative = line.at(i++) == u'-';
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 number = 0;
    const qsizetype digitsStart = i;
    for (; i < line.size() && line.at(i) >= u'0' && line.at(i) <= u'9'; ++i)
        number = std::min(limit, number * 10 + (line.at(i).unicode() - u'0'));
    if (i == digitsStart) {
        setMatched(matched, false);
        return 0;
    }
    setMatched(matched, true);
    return negative ? int(-number) : int(std::min(number, limit - 1));
}

QString engineField(const EngineSection &section, EngineField::Position position, bool *matched)
{
    return scanField(section.valueLines.value(position), QLatin1String(EngineField::Keys[position]), matched);
}

int engineIntField(const EngineSection &section, EngineField::Position position, bool *matched)
{
    return scanIntField(section.valueLines.value(position), QLatin1String(EngineField::Keys[position]), matched);
}

bool isEngineColumnName(const QString &name)
{
    if (name.size() < 2 || name.size() > 3 || name.front() != u'E' || name.at(1) == u'0')
        return false;
    int number = 0;
    for (qsizetype i = 1; i < name.size(); ++i) {
        if (name.at(i) < u'0' || name.at(i) > u'9')
            return false;
        number = number * 10 + (name.at(i).unicode() - u'0');
    }
    return number >= 1 && number <= MaxEngineColumns;
}

QString engineColumn(const EngineSection &section)
{
    const QString column = engineField(section, EngineField::InternalIndex);
    return isEngineColumnName(column) ? column : QString();
}

ManualEngine readManualEngine(const QString &path, const QString &name)
{
    const ProfileFile list(path);
    ManualEngine engine;
    engine.homeURL = list.readString(name, QStringLiteral("QC_HomeURL"), QString());
    engine.addURL = list.readString(name, QStringLiteral("QC_AddURL"), QString());
    engine.automaticSubmit = list.readString(name, QStringLiteral("QC_AutomaticSubmit"), QString());
    engine.responseTime = list.readString(name, QStringLiteral("QC_ResponseTime"), QString());
    engine.likes = list.readString(name, QStringLiteral("QC_Likes"), QString());
    engine.dislikes = list.readString(name, QStringLiteral("QC_Dislikes"), QString());
    engine.comments = list.readString(name, QStringLiteral("QC_Comments"), QString());
    return engine;
}

QString engineSectionProblem(const EngineSection &section)
{
    for (int i = 0; i < EngineField::Count; ++i) {
        const QString key = QLatin1String(EngineField::Keys[size_t(i)]);
        if (section.valueLines.value(i).startsWith(key + u'='))
            continue;
        const bool present = section.names.contains(key);
        return present ? QStringLiteral("the key %1 is out of place or has no value").arg(key)
                       : QStringLiteral("the key %1 is missing").arg(key);
    }
    return {};
}

bool isAutomaticEngineList(const QString &path)
{
    for (const QString &name : engineListSections(path))
        if (engineSectionProblem(readEngineSection(path, name)).isEmpty())
            return true;
    return false;
}

bool isManualEngineList(const QString &path)
{
    const ProfileFile list(path);
    for (const QString &name : list.sectionNames())
        for (const QString &key : list.keyNames(name))
            if (key.startsWith(QLatin1String("QC_"), Qt::CaseInsensitive))
                return true;
    return false;
}
