#include "engines/enginelistdownload.h"

#include "engines/enginelist.h"
#include "net/fetch.h"

#include <QFile>

#include <cstdio>

ListDownload DownloadEngineList(THTTPClient &http, const QString &url, const QString &path, int timeoutSeconds,
                                bool automatic)
{
    const QString partial = path + QStringLiteral(".download");
    QFile::remove(partial);
    net::FetchRequest request;
    request.url = url.toUtf8();
    request.timeoutSeconds = qMax(timeoutSeconds, 5);
    request.localFile = partial;
    const net::FetchResult fetched = net::Fetch(http, request);

    ListDownload download;
    if (!fetched.ok()) {
        download.reason = fetched.text;
    } else if (!QFile::exists(partial) || !(automatic ? isAutomaticEngineList(partial) : isManualEngineList(partial))) {
        download.result = ListDownload::Result::NotAList;
        download.reason = QStringLiteral("the answer is not an engine list");
    } else if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        // One rename replaces the old list: there is never a moment without one.
        download.reason = QStringLiteral("the list could not be written");
    } else {
        download.result = ListDownload::Result::Replaced;
    }
    QFile::remove(partial);
    return download;
}
