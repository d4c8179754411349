#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <stdexcept>

// Raised when a write cannot be done; what() is exactly "Unable to write to " + the path.
class ProfileWriteError : public std::runtime_error
{
public:
    // "Unable to write to <path>: <reason>", or without the reason when there is none.
    explicit ProfileWriteError(const QString &path, const QString &reason = {});
    QString text() const { return QString::fromUtf8(what()); }
};

// A profile (ini) file: the application ini, a project file, an engine list.
//
// Every call reads or writes the file at once; nothing is cached between calls.
//
// Reading: section and key names match without regard to letter case, and spaces
// around the names a caller passes are ignored. A missing file, section or key gives
// the caller's default without its trailing spaces. Only the first section of a name
// is searched, and within it the first key of a name wins. A value loses the blanks
// around it and one pair of enclosing quotes, and is cut to 2047 characters. Lines
// end with CR LF, LF or CR. Names and values are UTF-8; text that is not valid UTF-8
// is taken as Latin-1, so no byte is ever lost. Any bytes at all can be read: a file
// that is not text gives whatever sections and keys its lines happen to form.
//
// Writing: the whole file is rewritten through a temporary file in the same directory
// and a rename (the file keeps its permissions), with CR LF after every line. Lines a
// write does not touch keep their bytes and their order. A write that cannot be done
// throws ProfileWriteError and leaves the file as it was.
class ProfileFile
{
public:
    static constexpr int MaxValueLength = 2047;    // characters of a value read back
    static constexpr int MaxNameListBytes = 16384; // a name list, a zero byte counted after each name

    explicit ProfileFile(const QString &path) : m_path(path) {}

    QString path() const { return m_path; }

    QString readString(const QString &section, const QString &key, const QString &def) const;
    // An optional sign and the decimal digits up to the first other character; a
    // present value without digits reads 0; out-of-range numbers saturate.
    int readInteger(const QString &section, const QString &key, int def) const;
    // True when the integer read is not 0.
    bool readBool(const QString &section, const QString &key, bool def) const;

    // Names in file order, duplicates as they stand, cut to MaxNameListBytes of UTF-8.
    // A missing file or section gives an empty list.
    QStringList sectionNames() const;
    QStringList keyNames(const QString &section) const;
    // keyNames() with the value readString() gives for each name, from one read of the file.
    QList<QPair<QString, QString>> keyValues(const QString &section) const;

    // Replaces the value of the first matching key (keeping the file's spelling of the
    // names), or adds the key after the last key line of its section, or adds the
    // section at the end of the file. Line breaks in the value become spaces: a value
    // can never add lines to the file. Throws ProfileWriteError also for a name that
    // could not be read back as written (a key with "=", a section with "]", a line
    // break, an empty key, a key beginning with ";" or "[").
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Removes every line of the key in the searched section, so that reading it gives
    // the default afterwards. Does not touch the file when there is nothing to remove.
    void deleteKey(const QString &section, const QString &key);
    // Removes the header and the key lines of every section of that name; comment,
    // blank and other lines stay. Does not touch the file when there is nothing to remove.
    void eraseSection(const QString &section);

private:
    QString m_path;
};
