#include "engines/enginelistdownload.h"

#include "engines/enginelist.h"
#include "net/httpclient.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

ListDownload DownloadEngineList(THTTPClient &http, const QString &url, const QString &path, int timeoutSeconds,
                                bool automatic)
{
    const QString partial = path + QStringLiteral(".download");
    QFile::remove(partial);
    bool interrupted = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &http, [&http, &interrupted] {
        interrupted = true;
        http.setAction(httpIdle);
    });
    limit.start(qMax(timeoutSeconds, 5) * 1000);
    ListDownload download;
    try {
        http.setURL(url.toUtf8());
        http.setLocalFile(partial);
        http.setAction(httpGet);
        if (interrupted)
            download.reason = QStringLiteral("no complete answer within %1 seconds").arg(qMax(timeoutSeconds, 5));
        else if (http.StatusLine().isEmpty())
            download.reason = QStringLiteral("no answer");
        else
            download.result = ListDownload::Result::Replaced;
    } catch (const ENetCore &failure) {
        download.reason = failure.Message().isEmpty() ? QString::fromUtf8(failure.what()) : failure.Message();
    } catch (const std::exception &failure) {
        download.reason = QString::fromUtf8(failure.what());
    }
    limit.stop();
    http.setLocalFile(QString());
    http.setURL(QByteArray());
    QCoreApplication::processEvents();
    if (download.replaced()) {
        if (!QFile::exists(partial) || !(automatic ? isAutomaticEngineList(partial) : isManualEngineList(partial))) {
            download.result = ListDownload::Result::NotAList;
            download.reason = QStringLiteral("the answer is not an engine list");
        } else {
            // One rename replaces the old list: there is never a moment without one.
            if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
                download.result = ListDownload::Result::Failed;
                download.reason = QStringLiteral("the list could not be written");
            }
        }
    }
    QFile::remove(partial);
    return download;
}
