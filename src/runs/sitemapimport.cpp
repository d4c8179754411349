#include "runs/sitemapimport.h"

#include "checks/sitemapdiscovery.h"
#include "net/fetch.h"
#include "project/readers/w3cdatetime.h"
#include "project/store/enginestate.h"
#include "project/store/sitemapfileonly.h"
#include "project/store/urltable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace {

// A lastmod that is compared as text, not as an instant.
bool isTextual(const SitemapEntry &entry)
{
    return !entry.lastmod.isEmpty() && !W3cInstant::parse(entry.lastmod);
}

} // namespace

SitemapImport::SitemapImport(THTTPClient &http, QString baseDirectory, int timeoutSeconds)
    : m_http(http), m_baseDirectory(std::move(baseDirectory)), m_timeoutSeconds(qMax(timeoutSeconds, 1))
{}

SitemapImport::~SitemapImport() = default;

bool SitemapImport::isUrl(const QString &fileOrUrl)
{
    return fileOrUrl.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           fileOrUrl.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

QStringList SitemapImport::discovered(const QStringList &fileOrUrls, SitemapImportResult &result)
{
    QStringList sitemaps;
    for (const QString &argument : fileOrUrls) {
        const QByteArray robots = isUrl(argument) ? checks::robotsAddressFor(argument.toUtf8()) : QByteArray();
        if (robots.isEmpty()) {
            sitemaps << argument;
            continue;
        }
        const checks::SitemapDiscovery found = checks::discoverSitemaps(m_http, robots, m_timeoutSeconds);
        if (!found.ok()) {
            result.error = found.error;
            return {};
        }
        for (const QByteArray &sitemap : found.sitemaps)
            sitemaps << QString::fromUtf8(sitemap);
    }
    sitemaps.removeDuplicates();
    return sitemaps;
}

SitemapImportResult SitemapImport::read(const QStringList &arguments)
{
    SitemapImportResult result;
    const QStringList fileOrUrls = discovered(arguments, result);
    if (!result.readable())
        return result;
    if (fileOrUrls.size() > MaxSitemaps) {
        result.error = QStringLiteral("%1 sitemaps to read in one import, more than %2; the project's URLs are left "
                                      "as they are")
                           .arg(fileOrUrls.size())
                           .arg(MaxSitemaps);
        return result;
    }
    result.sitemaps = fileOrUrls;
    m_sitemapsSeen = QSet<QString>(fileOrUrls.cbegin(), fileOrUrls.cend());
    m_urlsSeen.clear();
    m_files = 0;
    m_urlSetsRead = 0;
    m_firstTextual = {};
    m_addressKeys.clear();
    m_filesAndAddresses = std::any_of(fileOrUrls.cbegin(), fileOrUrls.cend(), isUrl) &&
                          !std::all_of(fileOrUrls.cbegin(), fileOrUrls.cend(), isUrl);
    QStringList named;
    for (const QString &fileOrUrl : fileOrUrls) {
        if (named.contains(fileOrUrl))
            continue;
        named << fileOrUrl;
        m_underAddress = isUrl(fileOrUrl);
        if (readSitemap(fileOrUrl, 0, nullptr, result) == Read::Failed)
            break;
    }
    if (named.isEmpty()) {
        result.error = QStringLiteral("No sitemap to read");
    } else if (result.readable() && result.entries.isEmpty()) {
        // Taking an empty list would remove every URL of the project, and bring
        // them back later as new pages to submit everywhere.
        QString why = QStringLiteral("it lists no page");
        if (m_urlSetsRead == 0)
            why = QStringLiteral("no sitemap it lists was read (it lists only itself, sitemaps already read, or "
                                 "indexes nested too deep)");
        else if (result.skipped > 0)
            why = QStringLiteral("every entry was passed over");
        result.error = QStringLiteral("%1 %2 %3 no valid URL: %4; the project's URLs are left as they are")
                           .arg(named.size() == 1 ? QStringLiteral("The sitemap") : QStringLiteral("The sitemaps"),
                                named.join(QStringLiteral(", ")),
                                named.size() == 1 ? QStringLiteral("holds") : QStringLiteral("hold"), why);
    }
    if (result.readable() && m_filesAndAddresses) {
        for (const SitemapEntry &entry : result.entries)
            if (!m_addressKeys.contains(SitemapFileOnly::key(entry.url)))
                result.fileOnly << entry.url;
    }
    m_sitemapsSeen.clear();
    m_urlsSeen.clear();
    m_addressKeys.clear();
    if (!result.readable())
        result.entries.clear();
    return result;
}

SitemapImportResult SitemapImport::importInto(UrlTable &table, int projectId, const QStringList &fileOrUrls)
{
    SitemapImportResult result = read(fileOrUrls);
    if (!result.readable())
        return result;
    // Written before the URLs: a failure here changes nothing.
    SitemapFileOnly::write(table.query(), projectId, result.fileOnly);
    const int textual = table.replaceProjectUrlsFromSitemap(projectId, result.entries);
    // An engine that takes sitemaps rather than URLs is given these.
    EngineState(table).setSitemaps(projectId, result.sitemaps);
    if (textual > 0) {
        const SitemapWarning notice{
            m_firstTextual.file, m_firstTextual.line,
            QStringLiteral("%1 lastmod values are no W3C datetime (the first: \"%2\"); they are compared as text")
                .arg(textual)
                .arg(m_firstTextual.reason.left(SitemapReader::ExcerptLength))};
        result.lastmodNotice = notice.text();
    }
    return result;
}

SitemapImport::Read SitemapImport::readSitemap(const QString &name, int level, const Origin *origin,
                                               SitemapImportResult &result)
{
    // The count is checked before an index's sitemaps are fetched; this guards a redirect's share.
    if (++m_files > MaxSitemaps) {
        result.error = tooMany(origin ? origin->file : name);
        return Read::Failed;
    }
    SitemapReader reader(name);
    QString finalUrl;
    const QString problem =
        isUrl(name) ? fetch(name, reader, &finalUrl) : readFile(QDir(m_baseDirectory).absoluteFilePath(name), reader);
    if (!problem.isEmpty() || reader.failed()) {
        result.error = problem.isEmpty() ? reader.errorText() : problem;
        return Read::Failed;
    }
    if (finalUrl != name && !finalUrl.isEmpty()) {
        const QString host = QUrl(finalUrl).host();
        if (origin && !origin->host.isEmpty() && host.compare(origin->host, Qt::CaseInsensitive) != 0) {
            warn(result, {origin->file, origin->line,
                          QStringLiteral("%1 is redirected to %2, on another host than the index; not read")
                              .arg(name, finalUrl)});
            return Read::Elsewhere;
        }
        // A redirect to a sitemap read already brings nothing new.
        if (m_sitemapsSeen.contains(finalUrl))
            return Read::Done;
        m_sitemapsSeen.insert(finalUrl);
    }
    for (const SitemapWarning &warning : reader.warnings())
        warn(result, warning);
    result.skipped += reader.skipped() - reader.warnings().size();
    ++result.sitemapsRead;

    if (reader.kind() == SitemapReader::Kind::UrlSet) {
        ++m_urlSetsRead;
        for (SitemapEntry &entry : reader.takeEntries()) {
            if (m_filesAndAddresses && m_underAddress)
                m_addressKeys.insert(SitemapFileOnly::key(entry.url));
            if (!m_urlsSeen.isNew(result.entries, entry.url))
                continue;
            if (m_firstTextual.file.isEmpty() && isTextual(entry))
                m_firstTextual = {name, entry.line, entry.lastmod};
            result.entries.append(std::move(entry));
        }
        return Read::Done;
    }
    if (level >= MaxDepth) {
        warn(result,
             {origin->file, origin->line,
              QStringLiteral("%1 is a sitemap index nested more than %2 deep; not read").arg(name).arg(MaxDepth)});
        return Read::Done;
    }
    // The children are judged by where the index really is, after its redirects.
    const QString host = isUrl(name) ? QUrl(finalUrl.isEmpty() ? name : finalUrl).host() : QString();
    const QList<SitemapEntry> children = reader.takeEntries();
    // Refused before the first is fetched: a hostile index must not cost a thousand downloads first.
    if (m_files + children.size() > MaxSitemaps) {
        result.error = tooMany(name);
        return Read::Failed;
    }
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
        const Origin from{name, child.line, host};
        const Read read = readSitemap(child.url, level + 1, &from, result);
        if (read == Read::Failed)
            return Read::Failed;
        if (read == Read::Elsewhere)
            ++elsewhere;
    }
    if (!children.isEmpty() && elsewhere == children.size()) {
        result.error = QStringLiteral("%1: every sitemap it lists is on another host").arg(name);
        return Read::Failed;
    }
    return Read::Done;
}

QString SitemapImport::fetch(const QString &url, SitemapReader &reader, QString *finalUrl)
{
    net::FetchRequest request;
    request.url = url.toUtf8();
    request.timeoutSeconds = m_timeoutSeconds;
    // A server that keeps sending is stopped at the limit, not at the timeout.
    request.maxBytes = MaxDownloadBytes;
    // The reader takes the sitemap as it arrives: a broken one ends the download at once.
    request.consume = [&reader](QByteArrayView piece) {
        reader.feed(piece);
        return !reader.failed();
    };
    const net::FetchResult fetched = net::Fetch(m_http, request);
    *finalUrl = QString::fromUtf8(fetched.finalUrl);
    if (fetched.outcome == net::FetchResult::Outcome::Stopped && reader.failed())
        return {};
    if (fetched.outcome == net::FetchResult::Outcome::TooLarge)
        return QStringLiteral("Cannot fetch the sitemap \"%1\": larger than %2 MiB, more than any sitemap may be")
            .arg(url)
            .arg(SitemapReader::MaxBytes / (1024 * 1024));
    if (!fetched.ok())
        return QStringLiteral("Cannot fetch the sitemap \"%1\": %2").arg(url, fetched.text);
    // A 2xx answer without a body is read as an empty sitemap.
    reader.finish();
    return {};
}

QString SitemapImport::readFile(const QString &path, SitemapReader &reader)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return QStringLiteral("Cannot open the sitemap \"%1\": it is a directory").arg(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open the sitemap \"%1\": %2").arg(path, file.errorString());
    QByteArray slice(64 * 1024, Qt::Uninitialized);
    while (!reader.failed()) {
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

QString SitemapImport::tooMany(const QString &index) const
{
    return QStringLiteral("%1 lists sitemaps past the %2 one import reads; the project's URLs are left as they are")
        .arg(index)
        .arg(MaxSitemaps);
}

void SitemapImport::warn(SitemapImportResult &result, SitemapWarning warning)
{
    ++result.skipped;
    if (result.warnings.size() < MaxWarnings)
        result.warnings.append(std::move(warning));
}
