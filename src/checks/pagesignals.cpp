#include "checks/pagesignals.h"

#include <QUrl>

namespace checks {

namespace {

// Directives that carry a value after a colon; any other word before a colon names a crawler.
bool isValuedDirective(QByteArrayView word)
{
    for (const char *name : {"unavailable_after", "max-snippet", "max-image-preview", "max-video-preview"})
        if (word.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

std::optional<PageSignals> htmlSignalsBehind(const PageVerdict &verdict)
{
    PageSignals html;
    switch (verdict.kind) {
    case PageVerdict::Kind::Indexable:
        return html;
    case PageVerdict::Kind::NoindexMeta:
        html.noindexMeta = true;
        return html;
    case PageVerdict::Kind::CanonicalElsewhere: {
        const QString prefix = PageVerdict::canonicalElsewhere({}).text;
        if (!verdict.text.startsWith(prefix))
            return std::nullopt;
        html.canonical = verdict.text.mid(prefix.size()).toUtf8();
        return html;
    }
    default:
        return std::nullopt;
    }
}

bool robotsDirectivesForbidIndexing(QByteArrayView directives)
{
    qsizetype from = 0;
    while (from <= directives.size()) {
        qsizetype comma = directives.indexOf(',', from);
        if (comma < 0)
            comma = directives.size();
        QByteArrayView token = directives.sliced(from, comma - from).trimmed();
        from = comma + 1;
        const qsizetype colon = token.indexOf(':');
        if (colon >= 0 && !isValuedDirective(token.first(colon).trimmed()))
            token = token.sliced(colon + 1).trimmed();
        // A folded header line reads as blanks: "nofollow noindex" holds noindex too.
        qsizetype at = 0;
        while (at < token.size()) {
            qsizetype blank = at;
            while (blank < token.size() && !QChar::isSpace(uchar(token[blank])))
                ++blank;
            const QByteArrayView word = token.sliced(at, blank - at);
            if (word.compare(QByteArrayView("noindex"), Qt::CaseInsensitive) == 0 ||
                word.compare(QByteArrayView("none"), Qt::CaseInsensitive) == 0)
                return true;
            at = blank + 1;
        }
    }
    return false;
}

bool isRobotsMetaName(QByteArrayView name)
{
    const QByteArrayView trimmed = name.trimmed();
    return trimmed.compare("robots", Qt::CaseInsensitive) == 0 ||
           (trimmed.size() >= 3 && trimmed.last(3).compare("bot", Qt::CaseInsensitive) == 0);
}

QByteArray normalizedAddress(const QByteArray &url)
{
    QUrl parsed = QUrl::fromEncoded(url, QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.host().isEmpty() || !isWebScheme(parsed.scheme().toLower()))
        return {};
    parsed = parsed.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    parsed.setScheme(parsed.scheme().toLower());
    if (parsed.port() == (parsed.scheme() == QLatin1String("https") ? 443 : 80))
        parsed.setPort(-1);
    if (parsed.path().isEmpty())
        parsed.setPath(QStringLiteral("/"));
    // Pretty decoding turns escapes of unreserved characters back into the characters.
    return QUrl(parsed.toString(QUrl::FullyEncoded), QUrl::TolerantMode).toEncoded();
}

QByteArray resolvedAddress(const QByteArray &base, QByteArrayView href)
{
    const QUrl relative = QUrl::fromEncoded(href.trimmed().toByteArray(), QUrl::TolerantMode);
    if (!relative.isValid())
        return {};
    const QUrl resolved = QUrl::fromEncoded(base, QUrl::TolerantMode).resolved(relative);
    if (!resolved.isValid() || resolved.host().isEmpty() || !isWebScheme(resolved.scheme().toLower()))
        return {};
    return resolved.toEncoded();
}

void PageSignals::takeRobotsHeader(QByteArrayView value)
{
    if (robotsDirectivesForbidIndexing(value))
        noindexHeader = true;
}

PageVerdict PageSignals::verdict(const QByteArray &finalUrl) const
{
    if (noindexHeader)
        return PageVerdict::noindexHeader();
    if (noindexMeta)
        return PageVerdict::noindexMeta();
    if (!unreadable.isEmpty())
        return PageVerdict::unreachable(unreadable);
    // Most canonical links name the page in its own spelling: that needs no parsing.
    if (!canonical.isEmpty() && canonical != finalUrl && normalizedAddress(canonical) != normalizedAddress(finalUrl))
        return PageVerdict::canonicalElsewhere(canonical);
    return PageVerdict::indexablePage();
}

} // namespace checks
