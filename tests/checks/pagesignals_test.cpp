#include <gtest/gtest.h>

#include <QDateTime>

#include "checks/htmlpagereader.h"
#include "checks/pagefetch.h"
#include "checks/pagesignals.h"
#include "checks/sitemapdiscovery.h"

using checks::PageVerdict;

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QByteArray page = "https://a.example/dir/page.html";

TEST(PageSignals, NoindexAndNoneInAHeaderForAnyCrawler)
{
    const struct
    {
        QByteArray value;
        bool forbids;
    } cases[] = {
        {"noindex", true},
        {"NoIndex, nofollow", true},
        {"none", true},
        {"nofollow, noarchive", false},
        {"googlebot: noindex", true},
        {"otherbot: nofollow, noindex", true},
        {"unavailable_after: 25 Jun 2030 15:00:00 GMT", false},
        {"max-snippet: 20, noindex", true},
        {"noindexer", false},
        {"", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        checks::PageSignals signals_;
        signals_.takeRobotsHeader(c.value);
        EXPECT_EQ(signals_.verdict(page), c.forbids ? PageVerdict::noindexHeader() : PageVerdict::indexablePage());
    }
}

TEST(PageSignals, TheHtmlGivesMetaRobotsAndTheCanonical)
{
    const struct
    {
        const char *behaviour;
        QByteArray html;
        PageVerdict verdict;
    } cases[] = {
        {"a plain page", "<html><head><title>t</title></head><body>x</body></html>", PageVerdict::indexablePage()},
        {"meta robots noindex", "<meta name=\"robots\" content=\"noindex,follow\">", PageVerdict::noindexMeta()},
        {"meta robots none in capitals", "<META NAME=ROBOTS CONTENT=NONE>", PageVerdict::noindexMeta()},
        {"a crawler's own meta", "<meta name=\"googlebot\" content=\"noindex\">", PageVerdict::noindexMeta()},
        {"another meta name", "<meta name=\"description\" content=\"noindex\">", PageVerdict::indexablePage()},
        {"a canonical to itself, spelled otherwise",
         "<link rel=\"canonical\" href=\"HTTPS://A.example:443/dir/page.html#top\">", PageVerdict::indexablePage()},
        {"a relative canonical to itself", "<link rel=canonical href=\"page.html\">", PageVerdict::indexablePage()},
        {"a canonical elsewhere", "<link rel=\"Canonical\" href=\"/other.html\">",
         PageVerdict::canonicalElsewhere("https://a.example/other.html")},
        {"rel with several words", "<link rel=\"alternate canonical\" href=\"https://b.example/\">",
         PageVerdict::canonicalElsewhere("https://b.example/")},
        {"a base changes the resolution", "<base href=\"https://a.example/x/\"><link rel=canonical href=page.html>",
         PageVerdict::canonicalElsewhere("https://a.example/x/page.html")},
        {"the first canonical counts", "<link rel=canonical href=page.html><link rel=canonical href=/b>",
         PageVerdict::indexablePage()},
        {"a canonical in the body does not count", "<body><p>x</p><link rel=canonical href=/b></body>",
         PageVerdict::indexablePage()},
        {"bytes that are no UTF-8 where UTF-8 is declared",
         "<meta charset=\"utf-8\"><meta name=robots content=noindex><p>\xFF\xFE\xC3(</p>", PageVerdict::noindexMeta()},
        {"an unknown encoding", "<meta charset=\"x-no-such\"><meta name=robots content=noindex>",
         PageVerdict::noindexMeta()},
        {"broken HTML is still read",
         "<html><head><title>x<meta name=robots content=noindex><p>unclosed <b>tags </i><div",
         PageVerdict::noindexMeta()},
        {"Latin-1 declared", "<meta charset=\"iso-8859-1\"><p>caf\xE9</p>", PageVerdict::indexablePage()},
        {"no encoding declared", "\xEF\xBB\xBF<p>\xE2\x82\xAC</p>", PageVerdict::indexablePage()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(checks::readHtmlPage(page, c.html).pageSignals.verdict(page), c.verdict);
    }

    // A reader restarted for each page reads it as a new reader would, whatever came before.
    checks::HtmlPageReader reused("https://b.example/");
    for (int round = 0; round < 2; ++round) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.behaviour);
            reused.restart(page);
            reused.feed(c.html);
            reused.finish();
            const checks::PageReading fresh = checks::readHtmlPage(page, c.html);
            EXPECT_EQ(reused.pageSignals().verdict(page), c.verdict);
            EXPECT_EQ(reused.fingerprint(), fresh.fingerprint);
        }
    }
}

TEST(PageSignals, AddressesCompareInOneSpelling)
{
    const struct
    {
        QByteArray a, b;
        bool same;
    } cases[] = {
        {"HTTP://Example.COM", "http://example.com/", true},
        {"http://example.com:80/a", "http://example.com/a", true},
        {"https://example.com:443/a#x", "https://example.com/a", true},
        {"http://example.com/%7Euser", "http://example.com/~user", true},
        {"http://example.com:8080/a", "http://example.com/a", false},
        {"http://example.com/a", "https://example.com/a", false},
        {"http://example.com/a?x=1", "http://example.com/a", false},
        {"http://example.com/A", "http://example.com/a", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.a + " / " + c.b).toStdString());
        EXPECT_EQ(checks::normalizedAddress(c.a) == checks::normalizedAddress(c.b), c.same);
    }
    EXPECT_EQ(checks::normalizedAddress("mailto:a@b"), QByteArray());
}

TEST(PageFingerprint, WhatChangesOnEveryRequestLeavesItAlone)
{
    const QByteArray base = "<html><head><title>Shop</title><meta name=\"csrf-token\" content=\"TOKEN\">"
                            "<script nonce=\"N\">var stamp = STAMP;</script><style>.x{}</style></head>"
                            "<body><!-- built STAMP --><p class=\"c\">Our   prices\n  are low.</p>"
                            "<form><input type=\"hidden\" name=\"csrf\" value=\"TOKEN\"><input value=\"Go\"></form>"
                            "<a href=\"/next\">next</a><img src=\"/a.png\" alt=\"A\"></body></html>";
    const auto with = [&](const QByteArray &from, const QByteArray &to) {
        QByteArray copy = base;
        return copy.replace(from, to);
    };
    const struct
    {
        const char *behaviour;
        QByteArray other;
        bool same;
    } cases[] = {
        {"a new CSRF token", with("TOKEN", "OTHER-TOKEN"), true},
        {"a new build stamp in a comment and a script", with("STAMP", "20260101"), true},
        {"a new nonce", with("nonce=\"N\"", "nonce=\"M\""), true},
        {"another class", with("class=\"c\"", "class=\"d\""), true},
        {"whitespace runs", with("Our   prices\n  are", "Our prices are"), true},
        {"an edited paragraph", with("are low", "are high"), false},
        {"a changed link", with("/next", "/later"), false},
        {"a changed alt text", with("alt=\"A\"", "alt=\"B\""), false},
        {"a visible control's value", with("value=\"Go\"", "value=\"Send\""), false},
        {"text moved across a tag", with("<p class=\"c\">Our", "Our<p class=\"c\">"), false},
    };
    // Stored fingerprints are compared across runs: a page hashes as it always has.
    const QByteArray reference = checks::readHtmlPage(page, base).fingerprint;
    EXPECT_EQ(reference, "v2:17b9be233b7acf28019e72d6e744e5830ee280123c09d39c14258428bc9dc962");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(checks::readHtmlPage(page, c.other).fingerprint == reference, c.same);
    }

    // However the page arrives in pieces, it is the same page.
    for (const qsizetype slice : {1, 3, 7, 64}) {
        checks::HtmlPageReader reader(page);
        for (qsizetype at = 0; at < base.size(); at += slice)
            reader.feed(QByteArrayView(base).sliced(at, qMin(slice, base.size() - at)));
        reader.finish();
        EXPECT_EQ(reader.fingerprint(), reference) << "slices of " << slice;
    }
}

TEST(PageFingerprint, AnAssetCountsWithoutItsVersionAndContentHash)
{
    const struct
    {
        QByteArray url, reduced;
    } cases[] = {
        {"/wp-content/themes/t/style.css?ver=6.4.2", "/wp-content/themes/t/style.css"},
        {"https://cdn.example/app.3f9a1c2b.css#x", "https://cdn.example/app.css"},
        {"/main-4f2a.js", "/main.js"},
        {"/chunk.3f9a1c2b.min.js", "/chunk.min.js"},
        {"/3F9A1C2B.js", "/js"},
        {"/build/deadbeef/app.js", "/build/app.js"},
        {"https://cafe-4b2a.example/face.png", "https://cafe-4b2a.example/face.png"},
        {"/img/added-cafe-decade.jpg", "/img/added-cafe-decade.jpg"},
        {"/2024/01/banner-20240115.jpg", "/2024/01/banner-20240115.jpg"},
        {"/a1b.css", "/a1b.css"},
        {"/logo-v2.png", "/logo-v2.png"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(checks::PageFingerprint::assetAddress(c.url), c.reduced) << c.url.toStdString();
    EXPECT_EQ(checks::PageFingerprint::assetList(" a.1f2e3d.jpg?v=1 1x,b.jpg 2x , c,d.jpg"),
              "a.jpg 1x,b.jpg 2x,c,d.jpg ,");
}

TEST(PageFingerprint, AThemeUpdateLeavesItAloneAndContentMainOnlyTheMainContent)
{
    const QByteArray base =
        "<html><head><title>Post</title><link rel=\"stylesheet\" href=\"/style.css?ver=6.4\">"
        "<link rel=\"icon\" href=\"/favicon.a1b2c3d4.ico\"><link rel=\"canonical\" href=\"/post?p=1\">"
        "<script src=\"/app.3f9a1c2b.js\"></script></head><body><nav><a href=\"/?p=2\">Menu</a></nav>"
        "<main><p>Body text</p><img src=\"/pic.png?v=1\" srcset=\"/pic-4f2a.png 2x\"></main>"
        "<footer>(c) 2025</footer></body></html>";
    const auto with = [&](const QByteArray &from, const QByteArray &to) {
        QByteArray copy = base;
        return copy.replace(from, to);
    };
    using checks::ContentScope;
    const struct
    {
        const char *behaviour;
        QByteArray other;
        bool samePage, sameMain;
    } cases[] = {
        {"a new theme version", with("ver=6.4", "ver=6.5"), true, true},
        {"renamed hashed assets", with("a1b2c3d4", "99887766aa").replace("3f9a1c2b", "0c0ffee1"), true, true},
        {"an image's new cache buster", with("?v=1", "?v=2").replace("4f2a", "5e3b"), true, true},
        {"another image", with("/pic.png", "/other.png"), false, false},
        {"another canonical query", with("/post?p=1", "/post?p=3"), false, true},
        {"a page link's query", with("/?p=2", "/?p=4"), false, true},
        {"a new footer", with("(c) 2025", "(c) 2026"), false, true},
        {"an edited main text", with("Body text", "New text"), false, false},
    };
    for (const ContentScope scope : {ContentScope::Page, ContentScope::Main}) {
        const QByteArray reference = checks::readHtmlPage(page, base, {}, scope).fingerprint;
        EXPECT_TRUE(reference.startsWith(checks::fingerprintRule(scope) + ':'));
        for (const auto &c : cases) {
            SCOPED_TRACE(c.behaviour);
            EXPECT_EQ(checks::readHtmlPage(page, c.other, {}, scope).fingerprint == reference,
                      scope == ContentScope::Page ? c.samePage : c.sameMain);
        }
    }

    // Without <main>, the articles count, then role="main", then the body.
    const struct
    {
        QByteArray html, changed;
        bool same;
    } fallbacks[] = {
        {"<div>A</div><article>B</article><article>C</article>", "<div>X</div><article>B</article><article>C</article>",
         true},
        {"<div>A</div><article>B</article><article>C</article>", "<div>A</div><article>B</article><article>X</article>",
         false},
        {"<div>A</div><div role=\"main\"><p>B</p></div><p>C</p>",
         "<div>X</div><div role=\"main\"><p>B</p></div><p>X</p>", true},
        {"<div>A</div><div role=\"main\"><p>B</p></div>", "<div>A</div><div role=\"main\"><p>X</p></div>", false},
        {"<p>A</p>", "<p>X</p>", false},
    };
    for (const auto &c : fallbacks) {
        SCOPED_TRACE(c.changed.toStdString());
        EXPECT_EQ(checks::readHtmlPage(page, c.html, {}, ContentScope::Main).fingerprint ==
                      checks::readHtmlPage(page, c.changed, {}, ContentScope::Main).fingerprint,
                  c.same);
    }
    EXPECT_EQ(checks::ruleOf("17b9be23"), "v1");
    EXPECT_EQ(checks::ruleOf("v2-main:17b9be23"), "v2-main");
}

TEST(PageFingerprint, TextHashesAlikeWhateverItsBlanksAndSlices)
{
    const QByteArray prose = "a33b02e4c9b5eb8cc1225c2312599c141badeef6965b63601b7d6b944bb2d862";
    const QByteArray marks = "eae37ca7113138d7634f2923699ffbb75b0a4234542dde96beeae3d837c67c8f";
    const struct
    {
        QList<QByteArray> pieces;
        QByteArray hash;
    } cases[] = {
        {{"Our prices are low."}, prose},         {{"  Our   prices\tare\r\nlow.  "}, prose},
        {{"Our ", "prices are", " low."}, prose}, {{"Our", " ", "prices", "\n", "are low", ".", " "}, prose},
        {{"a \"quoted\" <x> = @y \\ z"}, marks},  {{"a \"", "quoted\"", " <x>", " =", " @", "y \\", " z"}, marks},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pieces.join('|').toStdString());
        checks::PageFingerprint fingerprint;
        for (const QByteArray &piece : c.pieces)
            fingerprint.text(piece);
        EXPECT_EQ(fingerprint.result(), c.hash);
    }
    checks::PageFingerprint joined;
    joined.text("Our prices arelow.");
    EXPECT_NE(joined.result(), prose);
}

TEST(PageFetch, RetryAfterInSecondsOrADate)
{
    const QDateTime now = QDateTime::fromString(QStringLiteral("2026-03-01T12:00:00Z"), Qt::ISODate);
    const struct
    {
        QByteArray value;
        std::optional<qint64> seconds;
    } cases[] = {
        {"120", 120},
        {" 0 ", 0},
        {"Sun, 01 Mar 2026 12:00:30 GMT", 30},
        {"Sun, 01 Mar 2026 11:00:00 GMT", 0},
        {"-5", std::nullopt},
        {"soon", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        EXPECT_EQ(checks::retryAfterSeconds(c.value, now), c.seconds);
    }
}

TEST(SitemapDiscovery, ASiteRootOrItsRobotsTxtNamesTheRobotsTxt)
{
    const struct
    {
        QByteArray argument;
        QByteArray robots;
    } cases[] = {
        {"https://a.example/", "https://a.example/robots.txt"},
        {"https://a.example", "https://a.example/robots.txt"},
        {"http://a.example:8080/", "http://a.example:8080/robots.txt"},
        {"https://a.example/robots.txt", "https://a.example/robots.txt"},
        {"https://a.example/sitemap.xml", ""},
        {"https://a.example/?q=1", ""},
        {"sitemap.xml", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        EXPECT_EQ(checks::robotsAddressFor(c.argument), c.robots);
    }
}

} // namespace
