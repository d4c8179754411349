// Drives the page checks for bench/page_checks:
//   page_checks_bench URLS.txt [WORKERS] [recheck]   checks every URL of the file (one a line)
// Prints one line "checked <pages> <indexable> <with fingerprint> <seconds>".
// With recheck, checks them all again with what the first check found, as the
// next run would, and prints a second line "rechecked <pages> <indexable>
// <fingerprint as before> <seconds of the second check>".
#include "checks/pagechecker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
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
    if (args.size() > 2 && args.at(2).toInt() > 0)
        options.workers = options.perHost = args.at(2).toInt();
    const bool recheck = args.contains(QStringLiteral("recheck"));

    const auto checkAll = [&](const char *name, const QList<checks::PageCheckResult> &before) {
        QElapsedTimer timer;
        timer.start();
        const QList<checks::PageCheckResult> results = checks::PageChecker(options).check(pages);
        const double seconds = timer.nsecsElapsed() / 1e9;
        int indexable = 0, hashed = 0, reported = 0;
        for (qsizetype i = 0; i < results.size(); ++i) {
            const checks::PageCheckResult &result = results.at(i);
            if (!result.verdict.indexable() && !reported++)
                std::fprintf(stderr, "page_checks_bench: %s: %s\n", result.url.constData(),
                             qPrintable(result.verdict.text));
            indexable += result.verdict.indexable() ? 1 : 0;
            const bool counts =
                before.isEmpty() ? !result.fingerprint.isEmpty() : result.fingerprint == before.at(i).fingerprint;
            hashed += counts ? 1 : 0;
        }
        std::printf("%s %lld %d %d %.6f\n", name, static_cast<long long>(results.size()), indexable, hashed, seconds);
        std::fflush(stdout);
        return results;
    };
    const QList<checks::PageCheckResult> first = checkAll("checked", {});
    bool allIndexable = std::all_of(first.begin(), first.end(), [](const auto &r) { return r.verdict.indexable(); });
    if (recheck) {
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const checks::PageCheckResult &r = first.at(i);
            pages[i].previous = {r.etag, r.lastModified, r.fingerprint, r.verdict, r.rawHash};
        }
        const QList<checks::PageCheckResult> second = checkAll("rechecked", first);
        allIndexable = allIndexable &&
                       std::all_of(second.begin(), second.end(), [](const auto &r) { return r.verdict.indexable(); });
    }
    return allIndexable ? 0 : 1;
}
