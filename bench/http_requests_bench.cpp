// Drives the HTTP component for bench/http_requests:
//   http_requests_bench URL N   N sequential GETs of URL, one connection each (body counted)
// Prints one line "get <count> <bytes> <seconds>".
#include "net/httpclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: http_requests_bench URL N\n");
        return 2;
    }
    const QByteArray url = args.at(1).toLatin1();
    const int n = args.at(2).toInt();
    THTTPClient client;
    client.setUserAgent("Quillcast");
    qint64 bytes = 0;
    client.OnTransfer = [&](QObject *, qint32, const char *, quint16 len) { bytes += len; };
    int count = 0;
    QElapsedTimer timer;
    timer.start();
    try {
        for (; count < n; ++count) {
            client.setURL(url);
            client.setAction(httpGet);
        }
    } catch (const ENetCore &failure) {
        std::fprintf(stderr, "request %d failed: %s\n", count + 1, failure.what());
        return 1;
    }
    std::printf("get %d %lld %.6f\n", count, static_cast<long long>(bytes), timer.nsecsElapsed() / 1e9);
    return 0;
}
