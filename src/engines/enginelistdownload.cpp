#include "engines/enginelistdownload.h"

#include "engines/enginelist.h"
#include "net/fetch.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace {

QString notePath(const QString &path)
{
    return path + QStringLiteral(".downloaded");
}

// The hex SHA-256 of the file; "" when it cannot be read.
QByteArray digestOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

QList<QByteArray> notedDigests(const QString &path)
{
    QFile note(notePath(path));
    if (!note.open(QIODevice::ReadOnly))
        return {};
    // Two digests and their line ends; anything longer is no note of ours.
    return note.read(200).split('\n');
}

// Notes the download at partial as the list to come, keeping the current list's
// digest when it was downloaded too.
bool noteDownload(const QString &partial, const QString &path)
{
    const QByteArray incoming = digestOf(partial);
    if (incoming.isEmpty())
        return false;
    QByteArray lines = incoming + '\n';
    const QByteArray current = digestOf(path);
    if (!current.isEmpty() && current != incoming && notedDigests(path).contains(current))
        lines += current + '\n';
    QSaveFile note(notePath(path));
    return note.open(QIODevice::WriteOnly) && note.write(lines) == lines.size() && note.commit();
}

} // namespace

bool isDownloadedEngineList(const QString &path)
{
    const QByteArray digest = digestOf(path);
    return !digest.isEmpty() && notedDigests(path).contains(digest);
}

ListDownload DownloadEngineList(THTTPClient &http, const QString &url, const QString &path, int timeoutSeconds,
                                bool automatic)
{
    const QString partial = path + QStringLiteral(".download");
    QFile::remove(partial);
    net::FetchRequest request;
    request.url = url.toUtf8();
    request.timeoutSeconds = qMax(timeoutSeconds, 5);
    request.localFile = partial;
    request.maxBytes = MaxEngineListBytes;
    const net::FetchResult fetched = net::Fetch(http, request);

    ListDownload download;
    if (!fetched.ok()) {
        download.reason = fetched.text;
    } else if (!QFile::exists(partial) || !(automatic ? isAutomaticEngineList(partial) : isManualEngineList(partial))) {
        download.result = ListDownload::Result::NotAList;
        download.reason = QStringLiteral("the answer is not an engine list");
    } else if (!noteDownload(partial, path) ||
               std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        // One rename replaces the old list: there is never a moment without one.
        download.reason = QStringLiteral("the list could not be written");
    } else {
        download.result = ListDownload::Result::Replaced;
    }
    QFile::remove(partial);
    return download;
}
