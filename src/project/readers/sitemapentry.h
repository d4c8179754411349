#pragma once

#include <QString>

// One <url> of a sitemap, or one <sitemap> of a sitemap index, as
// SitemapReader keeps it.
struct SitemapEntry
{
    QString url;     // the <loc>, trimmed, accepted by UrlListParser::checkLine()
    QString lastmod; // the <lastmod>, trimmed; empty when there is none
    qint64 line = 0; // the line of the <loc> (the first line is 1)

    bool operator==(const SitemapEntry &) const = default;
};

// A part of a sitemap passed over, or a sitemap of an index that was not read:
// where, and why.
struct SitemapWarning
{
    QString file; // the sitemap's name as given: a path or a URL
    qint64 line = 0;
    QString reason; // e.g. not an http:// or https:// URL: "ftp://a/"

    // sitemap.xml, line 7: not an http:// or https:// URL: "ftp://a/"
    QString text() const { return QStringLiteral("%1, line %2: %3").arg(file).arg(line).arg(reason); }
    bool operator==(const SitemapWarning &) const = default;
};
