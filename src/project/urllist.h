#pragma once

#include "project/urllistparser.h"

#include <QList>
#include <QString>
#include <QStringList>

// A URL list file as UrlListParser reads it: what the unattended /urllist and the
// Data menu's import take into the URL table.
struct UrlList
{
    enum class Status {
        Read,       // read to its end; urls may still be empty
        CannotOpen, // missing, a directory, not permitted, ...
        CannotRead, // opened, but a read failed part-way
    };

    QString path;
    Status status = Status::Read;
    // The system's reason when the file could not be opened or read.
    QString reason;
    // In file order; empty whenever status is not Read.
    QStringList urls;
    QList<UrlListWarning> warnings;
    qint64 skippedLines = 0;

    bool readable() const { return status == Status::Read; }
    // "" when readable, otherwise e.g.: Cannot open the URL list "/x/urls.txt": No such file or directory
    QString errorText() const;

    // Reads the whole file, in slices, so memory does not grow with a line's
    // length. Never throws.
    static UrlList read(const QString &path);
};
