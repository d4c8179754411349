#pragma once

#include "project/sitemapentry.h"
#include "project/sitemapreader.h"
#include "project/texthash.h"

#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <unordered_set>

class QTemporaryDir;
class THTTPClient;
class UrlTable;

// What a sitemap import read.
struct SitemapImportResult
{
    // The pages of every sitemap read, in reading order, each URL once (its
    // first entry stands). Empty whenever error is set.
    QList<SitemapEntry> entries;
    // The first MaxWarnings warnings of all files; skipped counts them all.
    QList<SitemapWarning> warnings;
    qint64 skipped = 0;
    int sitemapsRead = 0;
    // Why nothing can be imported, naming the file; "" when all was read. E.g.
    // sitemap.xml, line 12, column 7: Opening and ending tag mismatch.
    QString error;

    bool readable() const { return error.isEmpty(); }
};

// Reads a sitemap named by a local file (relative to the base directory, or
// absolute) or an http:// or https:// URL, which is fetched into a temporary
// file under QDir::tempPath() and read from there.
//
// A sitemap index has the sitemaps it lists read as well, each fetched as a
// URL: for an index fetched from a host, only those on the same host (others
// are passed over with a warning). An index listed by an index is read; an
// index listed by that one is passed over with a warning, so nesting stops at
// MaxDepth. A sitemap listed twice is read once.
//
// Each file is held to SitemapReader's limits; a download is given up past
// MaxDownloadBytes (no compressed sitemap within the limits is longer) and
// after timeoutSeconds. A file that cannot be fetched, opened or read, or that
// SitemapReader refuses, fails the whole import: a sitemap missing from an
// index would otherwise remove its pages from the project, and bring them back
// later as new pages to submit everywhere. So does an index all of whose
// sitemaps are on other hosts, and more than MaxSitemaps files in one import.
//
// Uses the client's URL, local file and limit, and its OnTransfer handler
// while a download runs, and restores them afterwards. Runs synchronously,
// pumping events while it fetches.
class SitemapImport
{
public:
    static constexpr int MaxDepth = 2;
    static constexpr int MaxSitemaps = 1000;
    static constexpr qint64 MaxDownloadBytes = SitemapReader::MaxBytes + SitemapReader::MaxBytes / 1024 + 64 * 1024;
    static constexpr int MaxWarnings = SitemapReader::MaxWarnings;

    SitemapImport(THTTPClient &http, QString baseDirectory, int timeoutSeconds = 60);
    ~SitemapImport();
    SitemapImport(const SitemapImport &) = delete;
    SitemapImport &operator=(const SitemapImport &) = delete;

    // Never throws.
    SitemapImportResult read(const QString &fileOrUrl);
    // read(), then, when readable, makes the project's URLs the entries' with
    // UrlTable::replaceProjectUrlsFromSitemap(); otherwise changes nothing.
    // Throws UrlTableError when the table fails, having changed nothing.
    SitemapImportResult importInto(UrlTable &table, int projectId, const QString &fileOrUrl);

    static bool isUrl(const QString &fileOrUrl);

private:
    struct Origin
    {
        QString file; // the index that lists the sitemap
        qint64 line = 0;
    };

    bool readSitemap(const QString &name, int level, const Origin *origin, SitemapImportResult &result);
    QString fetch(const QString &url, SitemapReader &reader);
    QString readFile(const QString &path, SitemapReader &reader);
    void warn(SitemapImportResult &result, SitemapWarning warning);

    THTTPClient &m_http;
    QString m_baseDirectory;
    int m_timeoutSeconds;
    std::unique_ptr<QTemporaryDir> m_downloads;
    QSet<QString> m_sitemapsSeen;
    std::unordered_set<QString, TextHash> m_urlsSeen;
    int m_files = 0;
};
