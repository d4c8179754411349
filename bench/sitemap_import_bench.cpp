// Drives the two ways of making a project's URLs those of a site for bench/sitemap_import:
//   sitemap_import_bench sitemap DIR FILE-or-URL   SitemapImport into DIR/urls2.db as project 1
//   sitemap_import_bench urllist DIR LIST          UrlTable::replaceFromFile, the /urllist import
//   sitemap_import_bench read DIR FILE             SitemapImport::read alone, no table
// Each runs twice: the imports into a fresh table and again into the filled one (the
// weekly run), the read twice alike; it prints "<mode> <rows> <first seconds> <second seconds>".
#include "net/httpclient.h"
#include "project/urltable.h"
#include "runs/sitemapimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

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
        double seconds[2] = {};
        int rows = 0;
        for (double &taken : seconds) {
            QElapsedTimer timer;
            timer.start();
            UrlTable table(args.at(2));
            if (sitemap) {
                THTTPClient http;
                SitemapImport import(http, args.at(2), 120);
                const SitemapImportResult result = import.importInto(table, 1, QStringList{args.at(3)});
                if (!result.readable()) {
                    std::fprintf(stderr, "%s\n", qPrintable(result.error));
                    return 1;
                }
            } else if (!table.replaceFromFile(1, args.at(3))) {
                return 1;
            }
            taken = timer.nsecsElapsed() / 1e9;
            table.setFilter(1);
            rows = table.rowCount();
        }
        std::printf("%s %d %.6f %.6f\n", qPrintable(args.at(1)), rows, seconds[0], seconds[1]);
    } catch (const UrlTableError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
