#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace qctest {

// A fresh directory that is also the process's current directory while the
// object lives: the program takes BaseDir from the current directory.
class ScopedBaseDir
{
public:
    ScopedBaseDir();
    ~ScopedBaseDir();
    ScopedBaseDir(const ScopedBaseDir &) = delete;
    ScopedBaseDir &operator=(const ScopedBaseDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Whole-file helpers for exact byte comparisons.
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);

// A file of the source tree (tests/data/...), for golden files and fixtures.
QString sourcePath(const QString &relative);

} // namespace qctest
