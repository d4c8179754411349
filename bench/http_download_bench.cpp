// Drives the HTTP component for bench/http_download:
//   http_download_bench URL FILE   one GET of URL with the body saved to FILE
// Prints one line "download <bytes> <seconds> <rss-growth-kib>": the growth is the
// process's peak resident size over that of the idle, constructed client.
#include "net/httpclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {

long statusKib(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: http_download_bench URL FILE\n");
        return 2;
    }
    THTTPClient client;
    client.setUserAgent("Quillcast");
    qint64 bytes = 0;
    client.OnTransfer = [&](QObject *, qint32, const char *, quint16 len) { bytes += len; };
    client.setURL(args.at(1).toLatin1());
    client.setLocalFile(args.at(2));
    const long idleKib = statusKib("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    try {
        client.setAction(httpGet);
    } catch (const ENetCore &failure) {
        std::fprintf(stderr, "download failed: %s\n", failure.what());
        return 1;
    }
    std::printf("download %lld %.6f %ld\n", static_cast<long long>(bytes), timer.nsecsElapsed() / 1e9,
                statusKib("VmHWM:") - idleKib);
    return 0;
}
