// Any bytes as a profile file (and as an engine list): every listing and read must hold,
// and a write must read back without changing any other value.
#include "engines/enginelist.h"
#include "project/session/profilefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int MaxReads = 256;

const QString &scratchPath()
{
    // Memory-backed when the system has it: every write of a profile file syncs it to disk.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/profile_fuzz-XXXXXX")
                                                                       : QDir::tempPath() + "/profile_fuzz-XXXXXX");
    static const QString path = dir.filePath("fuzz.ini");
    return path;
}

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "profile_fuzz: %s\n", what);
        std::abort();
    }
}

struct Read
{
    QString section;
    QString key;
    QString value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString &path = scratchPath();
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the scratch file");
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    ProfileFile profile(path);
    const QStringList sections = profile.sectionNames();
    QList<Read> before;
    for (const QString &section : sections) {
        for (const QString &key : profile.keyNames(section)) {
            if (before.size() == MaxReads)
                break;
            const QString value = profile.readString(section, key, QStringLiteral("\x01"));
            require(value.size() <= ProfileFile::MaxValueLength, "value longer than the limit");
            profile.readInteger(section, key, -1);
            before.append({section, key, value});
        }
    }

    if (!sections.isEmpty()) {
        const QList<QPair<QString, QString>> pairs = profile.keyValues(sections.first());
        const QStringList names = profile.keyNames(sections.first());
        require(pairs.size() == names.size(), "keyValues and keyNames list different keys");
        const EngineSection engine = readEngineSection(path, sections.first());
        require(engine.valueLines.size() <= engine.names.size(), "more value lines than keys");
        for (int position = 0; position < EngineField::Count; ++position) {
            const QString field = engineField(engine, EngineField::Position(position));
            require(field.size() <= MaxEngineFieldLength, "engine field longer than the limit");
            require(!field.contains(u' ') && !field.contains(u'\t'), "engine field holds a blank");
            engineIntField(engine, EngineField::Position(position));
        }
        const QString column = engineColumn(engine);
        require(column.isEmpty() || isEngineColumnName(column), "engine column not E1 ... E30");
        for (qsizetype i = 0; i < pairs.size() && i < MaxReads; ++i)
            require(pairs[i].first == names[i] &&
                        pairs[i].second == profile.readString(sections.first(), names[i], QString()),
                    "keyValues and readString disagree");
    }

    const QString key = QStringLiteral("QC_FuzzKey");
    QString target = sections.isEmpty() ? QStringLiteral("Fuzz") : sections.first();
    try {
        profile.writeString(target, key, QStringLiteral("round trip"));
    } catch (const ProfileWriteError &) {
        target = QStringLiteral("Fuzz");
        profile.writeString(target, key, QStringLiteral("round trip"));
    }
    require(profile.readString(target, key, QString()) == QStringLiteral("round trip"), "written value not read back");
    for (const Read &read : before) {
        const bool written = QString::compare(read.section.trimmed(), target.trimmed(), Qt::CaseInsensitive) == 0 &&
                             QString::compare(read.key.trimmed(), key, Qt::CaseInsensitive) == 0;
        if (!written)
            require(profile.readString(read.section, read.key, QStringLiteral("\x01")) == read.value,
                    "a write changed another value");
    }
    profile.deleteKey(target, key);
    require(profile.readString(target, key, QStringLiteral("gone")) == QStringLiteral("gone"),
            "deleted key still read");
    return 0;
}
