#include "runs/sitemapimport.h"

#include "net/httpclient.h"
#include "project/urltable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

SitemapImport::SitemapImport(THTTPClient &http, QString baseDirectory, int timeoutSeconds)
    : m_http(http), m_baseDirectory(std::move(baseDirectory)), m_timeoutSeconds(qMax(timeoutSeconds, 1))
{}

SitemapImport::~SitemapImport() = default;

bool SitemapImport::isUrl(const QString &fileOrUrl)
{
    return fileOrUrl.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           fileOrUrl.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

SitemapImportResult SitemapImport::read(const QString &fileOrUrl)
{
    SitemapImportResult result;
    m_sitemapsSeen = {fileOrUrl};
    m_urlsSeen.clear();
    m_files = 0;
    readSitemap(fileOrUrl, 0, nullptr, result);
    m_downloads.reset();
    m_sitemapsSeen.clear();
    m_urlsSeen.clear();
    if (!result.readable())
        result.entries.clear();
    return result;
}

SitemapImportResult SitemapImport::importInto(UrlTable &table, int projectId, const QString &fileOrUrl)
{
    SitemapImportResult result = read(fileOrUrl);
    if (result.readable())
        table.replaceProjectUrlsFromSitemap(projectId, result.entries);
    return result;
}

bool SitemapImport::readSitemap(const QString &name, int level, const Origin *origin, SitemapImportResult &result)
{
    if (++m_files > MaxSitemaps) {
        result.error = QStringLiteral("%1, line %2: more than %3 sitemaps to read in one import")
                           .arg(origin->file)
                           .arg(origin->line)
                           .arg(MaxSitemaps);
        return false;
    }
    SitemapReader reader(name);
    const QString problem =
        isUrl(name) ? fetch(name, reader) : readFile(QDir(m_baseDirectory).absoluteFilePath(name), reader);
    if (!problem.isEmpty() || reader.failed()) {
        result.error = problem.isEmpty() ? reader.errorText() : problem;
        return false;
    }
    for (const SitemapWarning &warning : reader.warnings())
        warn(result, warning);
    result.skipped += reader.skipped() - reader.warnings().size();
    ++result.sitemapsRead;

    if (reader.kind() == SitemapReader::Kind::UrlSet) {
        for (SitemapEntry &entry : reader.takeEntries())
            if (m_urlsSeen.insert(entry.url).second)
                result.entries.append(std::move(entry));
        return true;
    }
    if (level >= MaxDepth) {
        warn(result,
             {origin->file, origin->line,
              QStringLiteral("%1 is a sitemap index nested more than %2 deep; not read").arg(name).arg(MaxDepth)});
        return true;
    }
    const QString host = isUrl(name) ? QUrl(name).host() : QString();
    const QList<SitemapEntry> children = reader.takeEntries();
    qsizetype elsewhere = 0;
    for (const SitemapEntry &child : children) {
        if (!host.isEmpty() && QUrl(child.url).host().compare(host, Qt::CaseInsensitive) != 0) {
            warn(result,
                 {name, child.line, QStringLiteral("%1 is on another host than the index; not read").arg(child.url)});
            ++elsewhere;
            continue;
        }
        if (m_sitemapsSeen.contains(child.url))
            continue;
        m_sitemapsSeen.insert(child.url);
        const Origin from{name, child.line};
        if (!readSitemap(child.url, level + 1, &from, result))
            return false;
    }
    if (!children.isEmpty() && elsewhere == children.size()) {
        result.error = QStringLiteral("%1: every sitemap it lists is on another host").arg(name);
        return false;
    }
    return true;
}

QString SitemapImport::fetch(const QString &url, SitemapReader &reader)
{
    if (!m_downloads)
        m_downloads = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillcast-sitemap-XXXXXX"));
    if (!m_downloads->isValid())
        return QStringLiteral("Cannot fetch the sitemap \"%1\": no temporary folder can be made in %2")
            .arg(url, QDir::tempPath());
    const QString path = m_downloads->filePath(QStringLiteral("sitemap-%1").arg(m_files));
    bool timedOut = false;
    bool tooLarge = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &m_http, [this, &timedOut] {
        timedOut = true;
        m_http.setAction(httpIdle);
    });
    // A server that keeps sending is stopped at the limit, not at the timeout.
    auto onTransfer = [this, &tooLarge](QObject *, qint32 count, const char *, quint16) {
        if (count > MaxDownloadBytes && !tooLarge) {
            tooLarge = true;
            m_http.setAction(httpIdle);
        }
    };
    const auto previousTransfer = std::exchange(m_http.OnTransfer, onTransfer);
    const qint64 previousLimit = m_http.LocalFileLimit();
    QString failure;
    try {
        m_http.setURL(url.toUtf8());
        m_http.setLocalFile(path);
        m_http.setLocalFileLimit(MaxDownloadBytes + 1);
        limit.start(m_timeoutSeconds * 1000);
        m_http.setAction(httpGet);
        if (m_http.StatusLine().isEmpty())
            failure = QStringLiteral("no answer");
    } catch (const ENetCore &error) {
        failure = error.Message().isEmpty() ? QString::fromUtf8(error.what()) : error.Message();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    limit.stop();
    m_http.OnTransfer = previousTransfer;
    m_http.setLocalFileLimit(previousLimit);
    m_http.setLocalFile(QString());
    m_http.setURL(QByteArray());

    if (tooLarge || (failure.isEmpty() && m_http.LocalFileCut()))
        failure = QStringLiteral("larger than %1 MiB, more than any sitemap may be")
                      .arg(SitemapReader::MaxBytes / (1024 * 1024));
    else if (timedOut)
        failure = QStringLiteral("no complete answer within %1 seconds").arg(m_timeoutSeconds);
    QString problem;
    if (!failure.isEmpty())
        problem = QStringLiteral("Cannot fetch the sitemap \"%1\": %2").arg(url, failure);
    else
        problem = readFile(path, reader);
    QFile::remove(path);
    return problem;
}

QString SitemapImport::readFile(const QString &path, SitemapReader &reader)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return QStringLiteral("Cannot open the sitemap \"%1\": it is a directory").arg(path);
    // A 2xx answer without a body leaves no file: that is an empty sitemap.
    if (!file.open(QIODevice::ReadOnly) && (file.exists() || !isUrl(reader.name())))
        return QStringLiteral("Cannot open the sitemap \"%1\": %2").arg(path, file.errorString());
    QByteArray slice(64 * 1024, Qt::Uninitialized);
    while (file.isOpen() && !reader.failed()) {
        const qint64 got = file.read(slice.data(), slice.size());
        if (got < 0)
            return QStringLiteral("Cannot read the sitemap \"%1\": %2").arg(path, file.errorString());
        if (got == 0)
            break;
        reader.feed(QByteArrayView(slice.constData(), got));
    }
    reader.finish();
    return QString();
}

void SitemapImport::warn(SitemapImportResult &result, SitemapWarning warning)
{
    ++result.skipped;
    if (result.warnings.size() < MaxWarnings)
        result.warnings.append(std::move(warning));
}
