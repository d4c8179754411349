#include "project/urllist.h"

#include <QFile>
#include <QFileInfo>

QString UrlList::errorText() const
{
    switch (status) {
    case Status::Read:
        return QString();
    case Status::CannotOpen:
        return QStringLiteral("Cannot open the URL list \"%1\": %2").arg(path, reason);
    case Status::CannotRead:
        return QStringLiteral("Cannot read the URL list \"%1\": %2").arg(path, reason);
    }
    return QString();
}

UrlList UrlList::read(const QString &path)
{
    UrlList list;
    list.path = path;
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        list.status = Status::CannotOpen;
        list.reason = QStringLiteral("it is a directory");
        return list;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        list.status = Status::CannotOpen;
        list.reason = file.errorString();
        return list;
    }

    UrlListParser parser;
    QByteArray slice(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(slice.data(), slice.size());
        if (got < 0) {
            list.status = Status::CannotRead;
            list.reason = file.errorString();
            return list;
        }
        if (got == 0)
            break;
        parser.feed(QByteArrayView(slice.constData(), got));
    }
    parser.finish();
    list.urls = parser.takeUrls();
    list.warnings = parser.warnings();
    list.skippedLines = parser.skippedLines();
    return list;
}
