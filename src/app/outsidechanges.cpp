#include "app/outsidechanges.h"

#include "project/store/urltable.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlQuery>

namespace {

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result();
}

} // namespace

qint64 OutsideChanges::tableVersion()
{
    QSqlQuery &query = m_table.query().select(QStringLiteral("pragma data_version"));
    const qint64 version = query.next() ? query.value(0).toLongLong() : -1;
    // A statement left open would keep reading the snapshot it began with.
    query.finish();
    return version;
}

void OutsideChanges::tableSeen()
{
    try {
        m_tableVersion = tableVersion();
    } catch (const std::exception &) {
        m_tableVersion = -1;
    }
}

bool OutsideChanges::tableChanged()
{
    try {
        const qint64 version = tableVersion();
        if (version == m_tableVersion)
            return false;
        m_tableVersion = version;
        return true;
    } catch (const std::exception &) {
        // A table that cannot be read now keeps showing what it showed.
        return false;
    }
}

void OutsideChanges::fileSeen(const QString &path)
{
    m_fileHash = fileHash(path);
}

bool OutsideChanges::fileChanged(const QString &path) const
{
    return fileHash(path) != m_fileHash;
}
