#pragma once

#include <QString>
#include <QStringList>

class RunServices;
class UrlTable;

// What an import of a URL list or of sitemaps has to tell beside the URLs it
// stored, for the window (status log and boxes) and the unattended job
// (standard error) alike.
struct UrlImport
{
    // The project's URLs were replaced (or, for AddUrlsFromList(), URLs added).
    bool imported = false;
    // The lines and entries passed over and other notes about the input, in
    // order, each a whole text ("urls.txt, line 3: ... (skipped)"); told before
    // the failure, if any.
    QStringList skipped;
    // When nothing was imported: the caption and text of the box that says why.
    QString failureCaption;
    QString failureText;
    // After a sitemap import, the line for the status log
    // ("Sitemap: 12 pages from 2 sitemaps"); "" otherwise.
    QString doneLine;
    // AddUrlsFromList() only: the URLs added (0 when the list held only known ones).
    int added = 0;
};

// The "/urllist" step: the project's URLs become those of the list file (a
// relative name is taken from baseDir), in one step (UrlTable::replaceFromFile()).
// A list that cannot be read or yields no URL changes nothing and fails with
// "URL List not found" or "URL List not imported". Throws UrlTableError when the
// table cannot be written (nothing is then told). The caller holds the base lock.
UrlImport ReplaceUrlsFromList(UrlTable &table, int projectId, const QString &baseDir, const QString &listName);

// The Data menu's import: the URLs of the file at path are added to the
// project's (UrlTable::importFile()); a list that cannot be read or yields no
// URL fails with "URL list not imported". Throws as ReplaceUrlsFromList().
UrlImport AddUrlsFromList(UrlTable &table, int projectId, const QString &path);

// The "/sitemap" step and the Data menu's sitemap imports: the project's URLs
// become the pages of the sitemaps (files, relative to baseDir, or http(s)
// addresses) together (SitemapImport::importInto() over the services' client).
// timeoutSeconds is the project's; a sitemap is given at least 15 seconds. A
// sitemap that cannot be read, or an import without a valid URL, changes nothing
// and fails with "Sitemap not read". Throws UrlTableError as ReplaceUrlsFromList().
UrlImport ReplaceUrlsFromSitemaps(const RunServices &services, UrlTable &table, int projectId,
                                  const QStringList &fileOrUrls, const QString &baseDir, int timeoutSeconds);
