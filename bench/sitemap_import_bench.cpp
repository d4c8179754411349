// Drives the two ways of making a project's URLs those of a site for bench/sitemap_import:
//   sitemap_import_bench sitemap DIR FILE-or-URL   the sitemap import into DIR/urls2.db as project 1:
//                                                  SitemapImport::read, then replaceProjectUrlsFromSitemap
//                                                  (what SitemapImport::importInto does)
//   sitemap_import_bench urllist DIR LIST          the /urllist import: UrlList::read, then
//                                                  replaceProjectUrls (what replaceFromFile does)
//   sitemap_import_bench read DIR FILE             SitemapImport::read alone, no table
// Each runs twice: the imports into a fresh table and again into the filled one (the
// weekly run), the read twice alike. It prints "<mode> <rows> <first seconds> <second
// seconds>", and for the imports then the read seconds and the table seconds of the
// first and the second (the table's: opening it and the replacement).
#include "net/httpclient.h"
#include "project/readers/urllist.h"
#include "project/store/urltable.h"
#include "runs/sitemapimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

struct Taken
{
    double total = 0;
    double table = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QStringList modes{QStringLiteral("sitemap"), QStringLiteral("urllist"), QStringLiteral("read")};
    if (args.size() != 4 || !modes.contains(args.at(1))) {
        std::fprintf(stderr,
                     "usage: sitemap_import_bench sitemap DIR FILE-or-URL | urllist DIR LIST | read DIR FILE\n");
        return 2;
    }
    const bool sitemap = args.at(1) == QLatin1String("sitemap");
    if (args.at(1) == QLatin1String("read")) {
        double seconds[2] = {};
        qsizetype rows = 0;
        for (double &taken : seconds) {
            QElapsedTimer timer;
            timer.start();
            THTTPClient http;
            const SitemapImportResult result = SitemapImport(http, args.at(2), 120).read(QStringList{args.at(3)});
            taken = timer.nsecsElapsed() / 1e9;
            if (!result.readable()) {
                std::fprintf(stderr, "%s\n", qPrintable(result.error));
                return 1;
            }
            rows = result.entries.size();
        }
        std::printf("read %lld %.6f %.6f\n", qlonglong(rows), seconds[0], seconds[1]);
        return 0;
    }
    try {
        Taken runs[2];
        int rows = 0;
        for (Taken &taken : runs) {
            QElapsedTimer timer;
            timer.start();
            UrlTable table(args.at(2));
            qint64 tableWork = timer.nsecsElapsed();
            // The table's part is opening it and the replacement; the rest, freeing
            // what was read included, is reading.
            const auto replacing = [&](const auto &replace) {
                const qint64 start = timer.nsecsElapsed();
                replace();
                tableWork += timer.nsecsElapsed() - start;
            };
            if (sitemap) {
                THTTPClient http;
                const SitemapImportResult result = SitemapImport(http, args.at(2), 120).read(QStringList{args.at(3)});
                if (!result.readable()) {
                    std::fprintf(stderr, "%s\n", qPrintable(result.error));
                    return 1;
                }
                replacing([&] { table.replaceProjectUrlsFromSitemap(1, result.entries); });
            } else {
                const UrlList list = UrlList::read(args.at(3));
                if (!list.readable()) {
                    std::fprintf(stderr, "%s\n", qPrintable(list.errorText()));
                    return 1;
                }
                replacing([&] { table.replaceProjectUrls(1, list.urls); });
            }
            taken.total = timer.nsecsElapsed() / 1e9;
            taken.table = tableWork / 1e9;
            table.setFilter(1);
            rows = table.rowCount();
        }
        std::printf("%s %d %.6f %.6f %.6f %.6f %.6f %.6f\n", qPrintable(args.at(1)), rows, runs[0].total, runs[1].total,
                    runs[0].total - runs[0].table, runs[1].total - runs[1].table, runs[0].table, runs[1].table);
    } catch (const UrlTableError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
