#pragma once

#include "project/readers/entryurlindex.h"
#include "project/readers/sitemapentry.h"
#include "project/readers/sitemapreader.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

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
    // Set by an import whose lastmods are not all W3C datetimes: one line
    // saying how many are compared as text. Nothing was skipped for it.
    QString lastmodNotice;
    int sitemapsRead = 0;
    // The sitemaps the import was told or found: each argument as given, a
    // site root or robots.txt address replaced by the sitemaps its robots.txt names.
    QStringList sitemaps;
    // The entries' URLs that only local sitemap files listed, when the import
    // has sitemap addresses too: an engine given the addresses does not get them.
    QStringList fileOnly;
    // Why nothing can be imported, naming the file; "" when all was read. E.g.
    // sitemap.xml, line 12, column 7: Opening and ending tag mismatch.
    QString error;

    bool readable() const { return error.isEmpty(); }
};

// Reads sitemaps, each named by a local file (relative to the base directory,
// or absolute) or an http:// or https:// URL. A URL is fetched with
// net::Fetch, following its redirects, and read while it arrives. A site's
// root ("https://host/") or its robots.txt stands for every sitemap the
// Sitemap: lines of that robots.txt name; a robots.txt that names none, or
// cannot be read, fails the import with its message.
//
// A sitemap index has the sitemaps it lists read as well, each fetched as a
// URL: for an index fetched from a host, only those on the host its final
// address (after redirects) is on; others, and those whose redirects end on
// another host, are passed over with a warning. An index listed by an index is
// read; an index listed by that one is passed over with a warning, so nesting
// stops at MaxDepth. A sitemap listed twice, or reached again by a redirect,
// is read once.
//
// Each file is held to SitemapReader's limits; a download is given up past
// MaxDownloadBytes (no compressed sitemap within the limits is longer) and
// after timeoutSeconds. A file that cannot be fetched, opened or read, or that
// SitemapReader refuses, fails the whole import: a sitemap missing from an
// index would otherwise remove its pages from the project, and bring them back
// later as new pages to submit everywhere. So does an index all of whose
// sitemaps are on other hosts, more than MaxSitemaps files in one import, and
// an import that yields no valid URL at all (an empty urlset, every entry
// passed over, an index that lists only itself or sitemaps already read): that
// would empty the project.
//
// Uses the client as net::Fetch does, which puts back what it changed. Runs
// synchronously, pumping events while it fetches.
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

    // Reads every one of them into one result: the union of their pages, a URL
    // once, its first entry standing. Any failure fails it all. Never throws.
    SitemapImportResult read(const QStringList &fileOrUrls);
    SitemapImportResult read(const QString &fileOrUrl) { return read(QStringList{fileOrUrl}); }
    // read(), then, when readable, makes the project's URLs the entries' with
    // UrlTable::replaceProjectUrlsFromSitemap(), adding one warning when
    // lastmods that are no W3C datetime were compared as text; otherwise
    // changes nothing. The project remembers the sitemaps read (those found
    // in a robots.txt, not the robots.txt) for the engines that take sitemaps,
    // and which of its URLs only sitemap files list (SitemapFileOnly).
    // Throws UrlTableError when the table fails, having changed nothing.
    SitemapImportResult importInto(UrlTable &table, int projectId, const QStringList &fileOrUrls);
    SitemapImportResult importInto(UrlTable &table, int projectId, const QString &fileOrUrl)
    {
        return importInto(table, projectId, QStringList{fileOrUrl});
    }

    static bool isUrl(const QString &fileOrUrl);

private:
    struct Origin
    {
        QString file; // the index that lists the sitemap
        qint64 line = 0;
        QString host; // the host of the index's final address; "" for a local index
    };
    enum class Read {
        Done,
        Elsewhere, // a redirect led to another host than the index's: passed over
        Failed,
    };

    // The arguments with each site root or robots.txt replaced by the sitemaps it names;
    // sets result.error when a robots.txt names none or cannot be read.
    QStringList discovered(const QStringList &fileOrUrls, SitemapImportResult &result);
    Read readSitemap(const QString &name, int level, const Origin *origin, SitemapImportResult &result);
    QString fetch(const QString &url, SitemapReader &reader, QString *finalUrl);
    QString readFile(const QString &path, SitemapReader &reader);
    void warn(SitemapImportResult &result, SitemapWarning warning);
    // Why an import that would read more than MaxSitemaps files is refused, naming the index.
    QString tooMany(const QString &index) const;

    THTTPClient &m_http;
    QString m_baseDirectory;
    int m_timeoutSeconds;
    QSet<QString> m_sitemapsSeen;
    EntryUrlIndex m_urlsSeen; // the URLs of the result's entries
    // An import of files and addresses both notes the URLs the addresses' sitemaps list.
    bool m_filesAndAddresses = false;
    bool m_underAddress = false; // the sitemap read now was reached from an address
    QSet<quint64> m_addressKeys;
    int m_files = 0;
    int m_urlSetsRead = 0;
    // Where the first lastmod compared as text stands; reason holds the lastmod.
    SitemapWarning m_firstTextual;
};
