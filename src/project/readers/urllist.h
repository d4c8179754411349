#pragma once

#include "project/readers/urllistparser.h"

#include <QList>
#include <QString>
#include <QStringList>

// A URL list file as UrlListParser reads it: what the unattended /urllist and the
// Data menu's import take into the URL table.
struct UrlList
{
    enum class Status {
        Read,       // read to its end, holding at least one URL
        NoUrl,      // read to its end, but not one line is a URL to keep
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
    qint64 lines = 0; // every line read, empty and comment lines included

    // Whether the list is one to import: read to its end, holding a URL. An
    // import never takes a list without one to mean "no URLs at all".
    bool readable() const { return status == Status::Read; }
    // "" when readable, otherwise e.g.
    //   Cannot open the URL list "/x/urls.txt": No such file or directory
    //   urls.txt holds no valid URL (3 lines, all rejected); the project's URLs are left as they are
    QString errorText() const;

    // Reads the whole file (UTF-8, 8-bit, or UTF-16 after its byte order mark:
    // see UrlListParser), in slices, so memory does not grow with a line's
    // length. Never throws.
    static UrlList read(const QString &path);
};
