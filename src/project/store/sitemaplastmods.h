#pragma once

#include "project/store/projectquery.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>

// The sitemap lastmods of the projects, kept in urls2.db as
//   urls2_sitemap (Projectid INTEGER PRIMARY KEY, Lastmods BLOB)
// one row per project: the lastmod each of its URLs had at the last sitemap
// import, all in one value keyed by a hash of the URL, so that an import reads
// and writes them as one, not a row per URL.
//
// The value: per URL with a lastmod, in the order of the list, the URL's key
// (key(), 8 bytes, little-endian), the length of the lastmod's UTF-8 (LEB128:
// one byte below 128) and that UTF-8. The URLs themselves are in urls2; a key
// keeps the value small, and reading and writing it costs by its size (a value
// holding the URLs took as long as reading the rows). Two URLs of a project
// sharing a key (odds below 1 in 10^9 for 100 000 URLs) would share a stored
// lastmod. A value broken part-way (cut short, a length past its end) is read up
// to the break: the URLs after it have no stored lastmod, so they keep their
// flags.
//
// Every call that touches the file runs inside the caller's transaction and
// throws UrlTableError when a statement fails.
namespace SitemapLastmods {

// The key of a URL, in a stored value and in the replacement's index: the same
// on every machine and in every build, as std::hash is not.
quint64 key(QStringView url);

// The most bytes putEntry() writes for a lastmod.
qsizetype entryBound(QStringView lastmod);
// Writes one entry at out, which has room for entryBound(lastmod) bytes; returns
// the end of what was written.
char *putEntry(char *out, quint64 key, QStringView lastmod);
void appendEntry(QByteArray &value, quint64 key, QStringView lastmod);
// Reads the entry at offset `at` and moves past it; false when none is left or it
// is broken.
bool readEntry(QByteArrayView value, qsizetype &at, quint64 &key, QByteArrayView &lastmod);

// Creates urls2_sitemap when missing, and moves the lastmods of a file written
// before it (urls2_lastmod, a row per URL, the first row of a URL counting) into
// it, dropping urls2_lastmod. Costs a lookup when all is in place.
void createTable(ProjectQuery &query);
// The project's stored value; empty for none.
QByteArray read(ProjectQuery &query, int projectId);
// Stores the project's value; an empty one removes the project's row.
void write(ProjectQuery &query, int projectId, const QByteArray &value);
// The lastmod kept for each of urls in the project, "" for none.
QStringList lookup(ProjectQuery &query, int projectId, const QStringList &urls);

} // namespace SitemapLastmods
