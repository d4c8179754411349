#include "project/session/profilefile.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <limits>
#include <optional>

ProfileWriteError::ProfileWriteError(const QString &path, const QString &reason)
    : std::runtime_error((reason.isEmpty() ? QStringLiteral("Unable to write to %1").arg(path)
                                           : QStringLiteral("Unable to write to %1: %2").arg(path, reason))
                             .toStdString())
{}

namespace {

constexpr QByteArrayView Utf8Bom("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

QByteArrayView trimBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Caller-given names lose the spaces around them, not their tabs.
QString trimSpaces(const QString &name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name.at(begin) == u' ')
        ++begin;
    while (end > begin && name.at(end - 1) == u' ')
        --end;
    return name.mid(begin, end - begin);
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QString cutToLength(QString text, qsizetype length)
{
    if (text.size() > length) {
        text.truncate(length);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

QString valueText(QByteArrayView raw)
{
    QByteArrayView value = trimBlanks(raw);
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return cutToLength(decode(value), ProfileFile::MaxValueLength);
}

enum class LineKind { Other, Section, Key };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArrayView name;  // section or key name, blanks removed
    QByteArrayView value; // raw text after the "=" of a key line
};

ParsedLine parseLine(QByteArrayView line)
{
    ParsedLine parsed;
    QByteArrayView text = trimBlanks(line);
    if (text.isEmpty() || text.front() == ';')
        return parsed;
    if (text.front() == '[') {
        QByteArrayView rest = text.sliced(1);
        const qsizetype close = rest.indexOf(']');
        parsed.kind = LineKind::Section;
        parsed.name = trimBlanks(close < 0 ? rest : rest.first(close));
        return parsed;
    }
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return parsed;
    parsed.name = trimBlanks(line.first(equals));
    if (parsed.name.isEmpty())
        return parsed; // "=value" names no key: it could be neither read nor listed sensibly
    parsed.kind = LineKind::Key;
    parsed.value = line.sliced(equals + 1);
    return parsed;
}

bool nameMatches(QByteArrayView inFile, const QString &wanted)
{
    return QString::compare(decode(inFile), wanted, Qt::CaseInsensitive) == 0;
}

QStringList cutNameList(const QStringList &names)
{
    QStringList result;
    qsizetype used = 0;
    for (const QString &name : names) {
        const QByteArray bytes = name.toUtf8();
        if (used + bytes.size() + 1 <= ProfileFile::MaxNameListBytes) {
            result << name;
            used += bytes.size() + 1;
            continue;
        }
        qsizetype room = ProfileFile::MaxNameListBytes - used - 1;
        while (room > 0 && (static_cast<unsigned char>(bytes.at(room)) & 0xC0) == 0x80)
            --room; // never cut inside a character
        if (room > 0)
            result << QString::fromUtf8(bytes.first(room));
        break;
    }
    return result;
}

int parseInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 number = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
        number = std::min(limit, number * 10 + (text.at(i).unicode() - u'0'));
    if (negative)
        return int(-number);
    return int(std::min(number, limit - 1));
}

// The file as lines without their line ends, each parsed once.
struct Document
{
    enum State { Missing, Loaded, Unreadable } state = Missing;
    bool bom = false;
    QList<QByteArray> lines;
    QList<ParsedLine> parsed;

    static Document load(const QString &path);

    // Index of the header of the first section named so at or after `from`, or -1.
    qsizetype findSection(const QString &name, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < parsed.size(); ++i)
            if (parsed[i].kind == LineKind::Section && nameMatches(parsed[i].name, name))
                return i;
        return -1;
    }
    // One past the last line of the section whose header is at `header`.
    qsizetype sectionEnd(qsizetype header) const
    {
        for (qsizetype i = header + 1; i < parsed.size(); ++i)
            if (parsed[i].kind == LineKind::Section)
                return i;
        return parsed.size();
    }
    QByteArray bytes() const
    {
        QByteArray out;
        if (bom)
            out += Utf8Bom;
        for (const QByteArray &line : lines)
            out += line + "\r\n";
        return out;
    }
};

Document Document::load(const QString &path)
{
    Document doc;
    const QFileInfo info(path);
    if (!info.exists())
        return doc;
    QFile file(path);
    // Only a regular file is read or replaced: a device or a pipe could never be read
    // to its end, and renaming over one would destroy it.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        doc.state = Unreadable;
        return doc;
    }
    QByteArray data = file.readAll();
    doc.state = Loaded;
    if (data.startsWith(Utf8Bom)) {
        doc.bom = true;
        data.remove(0, Utf8Bom.size());
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c != '\r' && c != '\n')
            continue;
        doc.lines.append(data.mid(start, i - start));
        if (c == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < data.size())
        doc.lines.append(data.mid(start));
    doc.parsed.reserve(doc.lines.size());
    for (const QByteArray &line : doc.lines)
        doc.parsed.append(parseLine(line));
    return doc;
}

// A document that may be rewritten: an existing file that cannot be read must not be
// replaced by what little we know of it.
Document loadForWrite(const QString &path)
{
    Document doc = Document::load(path);
    if (doc.state == Document::Unreadable)
        throw ProfileWriteError(path);
    return doc;
}

void save(const QString &path, const Document &doc)
{
    QSaveFile file(path);
    const QByteArray bytes = doc.bytes();
    // The system's reason ("No space left on device") goes with the file's name;
    // a failed flush in commit() leaves Qt's text empty, the error number does not.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const int systemError = errno;
        throw ProfileWriteError(path, systemError != 0 ? qt_error_string(systemError) : file.errorString());
    }
}

bool hasEdgeBlank(const QString &name)
{
    return !name.isEmpty() &&
           (name.front() == u'\t' || name.front() == u'\v' || name.back() == u'\t' || name.back() == u'\v');
}

bool storableSection(const QString &name)
{
    return !name.contains(u']') && !name.contains(u'\r') && !name.contains(u'\n') && !hasEdgeBlank(name);
}

bool storableKey(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'=') && !name.contains(u'\r') && !name.contains(u'\n') &&
           !name.startsWith(u';') && !name.startsWith(u'[') && !hasEdgeBlank(name);
}

// The value of the key, or nothing when the file, the section or the key is missing.
std::optional<QString> findValue(const QString &path, const QString &section, const QString &key)
{
    const Document doc = Document::load(path);
    const qsizetype header = doc.findSection(trimSpaces(section));
    if (header < 0)
        return std::nullopt;
    const QString wanted = trimSpaces(key);
    const qsizetype end = doc.sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (doc.parsed[i].kind == LineKind::Key && nameMatches(doc.parsed[i].name, wanted))
            return valueText(doc.parsed[i].value);
    return std::nullopt;
}

} // namespace

QString ProfileFile::readString(const QString &section, const QString &key, const QString &def) const
{
    if (const std::optional<QString> value = findValue(m_path, section, key))
        return *value;
    QString fallback = def;
    while (fallback.endsWith(u' '))
        fallback.chop(1);
    return cutToLength(fallback, MaxValueLength);
}

int ProfileFile::readInteger(const QString &section, const QString &key, int def) const
{
    const std::optional<QString> value = findValue(m_path, section, key);
    return value ? parseInteger(*value) : def;
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QStringList ProfileFile::sectionNames() const
{
    const Document doc = Document::load(m_path);
    QStringList names;
    for (const ParsedLine &line : doc.parsed)
        if (line.kind == LineKind::Section)
            names << decode(line.name);
    return cutNameList(names);
}

QStringList ProfileFile::keyNames(const QString &section) const
{
    const Document doc = Document::load(m_path);
    QStringList names;
    const qsizetype header = doc.findSection(trimSpaces(section));
    if (header >= 0) {
        const qsizetype end = doc.sectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i)
            if (doc.parsed[i].kind == LineKind::Key)
                names << decode(doc.parsed[i].name);
    }
    return cutNameList(names);
}

QList<QPair<QString, QString>> ProfileFile::keyValues(const QString &section) const
{
    const Document doc = Document::load(m_path);
    QList<QPair<QString, QString>> result;
    const qsizetype header = doc.findSection(trimSpaces(section));
    if (header < 0)
        return result;
    QStringList names;
    QHash<QString, QString> firstValues; // by case-folded name: the first key of a name wins
    const qsizetype end = doc.sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (doc.parsed[i].kind != LineKind::Key)
            continue;
        names << decode(doc.parsed[i].name);
        const QString folded = names.last().toCaseFolded();
        if (!firstValues.contains(folded))
            firstValues.insert(folded, valueText(doc.parsed[i].value));
    }
    for (const QString &name : cutNameList(names))
        result.append({name, firstValues.value(name.toCaseFolded())});
    return result;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = trimSpaces(section);
    const QString keyName = trimSpaces(key);
    if (!storableSection(sectionName) || !storableKey(keyName))
        throw ProfileWriteError(m_path);
    QString flat = value;
    flat.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray valueBytes = flat.toUtf8();

    Document doc = loadForWrite(m_path);
    const qsizetype header = doc.findSection(sectionName);
    if (header < 0) {
        doc.lines << '[' + sectionName.toUtf8() + ']' << keyName.toUtf8() + '=' + valueBytes;
        save(m_path, doc);
        return;
    }
    const qsizetype end = doc.sectionEnd(header);
    qsizetype lastKey = header;
    for (qsizetype i = header + 1; i < end; ++i) {
        const ParsedLine &line = doc.parsed[i];
        if (line.kind != LineKind::Key)
            continue;
        if (nameMatches(line.name, keyName)) {
            doc.lines[i] = line.name.toByteArray() + '=' + valueBytes;
            save(m_path, doc);
            return;
        }
        lastKey = i;
    }
    doc.lines.insert(lastKey + 1, keyName.toUtf8() + '=' + valueBytes);
    save(m_path, doc);
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileFile::deleteKey(const QString &section, const QString &key)
{
    Document doc = loadForWrite(m_path);
    const qsizetype header = doc.findSection(trimSpaces(section));
    if (header < 0)
        return;
    const QString wanted = trimSpaces(key);
    bool removed = false;
    for (qsizetype i = doc.sectionEnd(header) - 1; i > header; --i) {
        if (doc.parsed[i].kind == LineKind::Key && nameMatches(doc.parsed[i].name, wanted)) {
            doc.lines.removeAt(i);
            removed = true;
        }
    }
    if (removed)
        save(m_path, doc);
}

void ProfileFile::eraseSection(const QString &section)
{
    Document doc = loadForWrite(m_path);
    const QString wanted = trimSpaces(section);
    QList<bool> drop(doc.lines.size(), false);
    bool removed = false;
    for (qsizetype header = doc.findSection(wanted); header >= 0; header = doc.findSection(wanted, header + 1)) {
        const qsizetype end = doc.sectionEnd(header);
        drop[header] = true;
        for (qsizetype i = header + 1; i < end; ++i)
            drop[i] = doc.parsed[i].kind == LineKind::Key;
        removed = true;
    }
    if (!removed)
        return;
    QList<QByteArray> kept;
    for (qsizetype i = 0; i < doc.lines.size(); ++i)
        if (!drop[i])
            kept << doc.lines[i];
    doc.lines = kept;
    save(m_path, doc);
}
