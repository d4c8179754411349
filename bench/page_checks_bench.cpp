// Drives the page checks for bench/page_checks:
//   page_checks_bench URLS.txt [WORKERS]   checks every URL of the file (one a line)
// Prints one line "checked <pages> <indexable> <with fingerprint> <seconds>".
#include "checks/pagechecker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: page_checks_bench URLS.txt [WORKERS]\n");
        return 2;
    }
    QFile list(args.at(1));
    if (!list.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "page_checks_bench: %s: %s\n", qPrintable(args.at(1)), qPrintable(list.errorString()));
        return 1;
    }
    QList<checks::PageCheckInput> pages;
    for (QByteArray line = list.readLine(); !line.isEmpty(); line = list.readLine())
        if (!line.trimmed().isEmpty())
            pages.append(checks::PageCheckInput{line.trimmed(), {}});

    checks::PageCheckOptions options;
    if (args.size() > 2)
        options.workers = options.perHost = args.at(2).toInt();
    QElapsedTimer timer;
    timer.start();
    const QList<checks::PageCheckResult> results = checks::PageChecker(options).check(pages);
    const double seconds = timer.nsecsElapsed() / 1e9;
    int indexable = 0, hashed = 0, reported = 0;
    for (const checks::PageCheckResult &result : results) {
        if (!result.verdict.indexable() && !reported++)
            std::fprintf(stderr, "page_checks_bench: %s: %s\n", result.url.constData(),
                         qPrintable(result.verdict.text));
        indexable += result.verdict.indexable() ? 1 : 0;
        hashed += result.fingerprint.isEmpty() ? 0 : 1;
    }
    std::printf("checked %lld %d %d %.6f\n", static_cast<long long>(results.size()), indexable, hashed, seconds);
    return indexable == results.size() ? 0 : 1;
}
