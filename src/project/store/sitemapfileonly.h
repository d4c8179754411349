#pragma once

#include "project/store/projectquery.h"

#include <QSet>
#include <QStringList>

// The URLs of a project's last sitemap import that only sitemap files listed
// (no sitemap address did), kept in urls2.db as
//   urls2_fileonly (Projectid INTEGER PRIMARY KEY, Keys BLOB)
// each URL by its SitemapLastmods::key() of the stored text (8 bytes,
// little-endian). An engine that is given sitemap addresses, not files, never
// gets these URLs through a sitemap, so it must not count them as taken.
//
// The table is made by the first import that needs it; a file without it has
// no such URLs. Calls run inside the caller's transaction, if any, and throw
// UrlTableError when a statement fails.
namespace SitemapFileOnly {

// Stores the project's URLs; none removes the project's row.
void write(ProjectQuery &query, int projectId, const QStringList &urls);
// The keys of the project's stored URLs; empty when none.
QSet<quint64> read(ProjectQuery &query, int projectId);
// The key a URL is stored and looked up by.
quint64 key(const QString &url);

} // namespace SitemapFileOnly
