#include "project/readers/urllist.h"

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
    case Status::NoUrl: {
        const QString why = lines == 0          ? QStringLiteral("it is empty")
                            : skippedLines == 0 ? QStringLiteral("only blank and comment lines")
                            : skippedLines == 1 ? QStringLiteral("1 line, rejected")
                                                : QStringLiteral("%1 lines, all rejected").arg(skippedLines);
        return QStringLiteral("%1 holds no valid URL (%2); the project's URLs are left as they are")
            .arg(QFileInfo(path).fileName(), why);
    }
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
    list.lines = parser.lines();
    if (list.urls.isEmpty())
        list.status = Status::NoUrl;
    return list;
}
