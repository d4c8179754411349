#include "runs/urlimports.h"

#include "project/readers/urllist.h"
#include "project/store/urltable.h"
#include "runs/runservices.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The lines a list passed over: each told ones, then how many more.
QStringList skippedLines(const UrlList &list)
{
    const QString name = QFileInfo(list.path).fileName();
    QStringList texts;
    for (const UrlListWarning &warning : list.warnings)
        texts << name + QStringLiteral(", ") + warning.text() + QStringLiteral(" (skipped)");
    const qint64 untold = list.skippedLines - list.warnings.size();
    if (untold > 0)
        texts << name + QStringLiteral(": %1 more lines skipped").arg(untold);
    return texts;
}

// A sitemap may be an index whose files come one after another: it gets time for that.
constexpr int MinSitemapTimeoutSeconds = 15;

} // namespace

UrlImport ReplaceUrlsFromList(UrlTable &table, int projectId, const QString &baseDir, const QString &listName)
{
    UrlList list;
    UrlImport import;
    // A list that cannot be read, or yields no URL, changes nothing; URLs already submitted stay so.
    import.imported = table.replaceFromFile(projectId, QDir(baseDir).filePath(listName), &list);
    import.skipped = skippedLines(list);
    if (!import.imported) {
        import.failureCaption = list.status == UrlList::Status::NoUrl ? QStringLiteral("URL List not imported")
                                                                      : QStringLiteral("URL List not found");
        import.failureText = list.errorText().isEmpty() ? listName : list.errorText();
    }
    return import;
}

UrlImport AddUrlsFromList(UrlTable &table, int projectId, const QString &path)
{
    UrlList list;
    UrlImport import;
    const int added = table.importFile(projectId, path, &list);
    import.imported = added >= 0;
    import.added = qMax(added, 0);
    import.skipped = skippedLines(list);
    if (!import.imported) {
        import.failureCaption = QStringLiteral("URL list not imported");
        import.failureText = list.errorText();
    }
    return import;
}

UrlImport ReplaceUrlsFromSitemaps(const RunServices &services, UrlTable &table, int projectId,
                                  const QStringList &fileOrUrls, const QString &baseDir, int timeoutSeconds)
{
    const SitemapImportResult result =
        services.importSitemaps(table, projectId, fileOrUrls, baseDir, qMax(timeoutSeconds, MinSitemapTimeoutSeconds));
    UrlImport import;
    for (const SitemapWarning &warning : result.warnings)
        import.skipped << warning.text() + QStringLiteral(" (skipped)");
    if (result.skipped > result.warnings.size())
        import.skipped
            << QStringLiteral("%1 more sitemap entries skipped").arg(result.skipped - result.warnings.size());
    if (!result.lastmodNotice.isEmpty())
        import.skipped << result.lastmodNotice;
    import.imported = result.readable();
    if (!import.imported) {
        import.failureCaption = QStringLiteral("Sitemap not read");
        import.failureText = result.error;
        return import;
    }
    import.doneLine =
        QStringLiteral("Sitemap: %1 pages from %2 sitemaps").arg(result.entries.size()).arg(result.sitemapsRead);
    return import;
}
