// Drives the URL table for bench/url_import:
//   url_import_bench import DIR LIST      imports LIST into DIR/urls2.db as project 1
//   url_import_bench updates DIR LIST N   imports LIST, then times N per-URL flag updates
//                                         (the first N lines, whose URLs are distinct)
// Each mode prints one line "<mode> <rows> <seconds>".
#include "project/store/urltable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: url_import_bench import DIR LIST | updates DIR LIST N\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return usage();
    const QString mode = args.at(1);
    try {
        if (mode == QLatin1String("import")) {
            QElapsedTimer timer;
            timer.start();
            UrlTable table(args.at(2));
            const int rows = table.importFile(1, args.at(3));
            std::printf("import %d %.3f\n", rows, timer.nsecsElapsed() / 1e9);
            return rows < 0 ? 1 : 0;
        }
        if (mode == QLatin1String("updates") && args.size() >= 5) {
            UrlTable table(args.at(2));
            const int rows = table.importFile(1, args.at(3));
            QFile list(args.at(3));
            if (rows <= 0 || !list.open(QIODevice::ReadOnly))
                return 1;
            const int count = args.at(4).toInt();
            QStringList urls;
            while (urls.size() < count && !list.atEnd())
                urls << QString::fromUtf8(list.readLine()).trimmed();
            // One transaction, so the figure is the statement's cost rather than the disk's sync.
            QSqlDatabase db = QSqlDatabase::database(table.connectionName());
            db.transaction();
            QElapsedTimer timer;
            timer.start();
            for (const QString &url : urls)
                table.setFlag(QStringLiteral("E1"), 1, url, false);
            db.commit();
            std::printf("updates %d %.6f\n", rows, timer.nsecsElapsed() / 1e9);
            return 0;
        }
    } catch (const UrlTableError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return usage();
}
