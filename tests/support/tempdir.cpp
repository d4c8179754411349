#include "support/tempdir.h"

#include <QFile>
#include <stdexcept>

namespace qctest {

ScopedBaseDir::ScopedBaseDir() : m_previous(QDir::currentPath())
{
    if (!m_dir.isValid() || !QDir::setCurrent(m_dir.path()))
        throw std::runtime_error("cannot create a temporary base directory");
}

ScopedBaseDir::~ScopedBaseDir()
{
    QDir::setCurrent(m_previous);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file " + path.toStdString());
}

QString sourcePath(const QString &relative)
{
    return QStringLiteral(QC_SOURCE_DIR "/") + relative;
}

} // namespace qctest
