#include "project/readers/sitemapreader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>
#include <zlib.h>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QByteArray gzip(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("s.gz")));
    gzFile file = gzopen(path.constData(), "wb");
    gzwrite(file, bytes.constData(), unsigned(bytes.size()));
    gzclose(file);
    QFile packed(QString::fromLocal8Bit(path));
    return packed.open(QIODevice::ReadOnly) ? packed.readAll() : QByteArray();
}

// The kind, every entry as "url | lastmod | line", every warning, and the error.
QStringList read(const QByteArray &bytes, qsizetype slice)
{
    SitemapReader reader(QStringLiteral("sitemap.xml"));
    for (qsizetype at = 0; at < bytes.size(); at += slice)
        reader.feed(QByteArrayView(bytes).sliced(at, std::min(slice, bytes.size() - at)));
    reader.finish();
    EXPECT_EQ(reader.consumed(), bytes.size());
    QStringList result{QStringList{"unknown", "urlset", "index"}.at(int(reader.kind()))};
    for (const SitemapEntry &entry : reader.entries())
        result << QStringLiteral("%1 | %2 | %3").arg(entry.url, entry.lastmod).arg(entry.line);
    for (const SitemapWarning &warning : reader.warnings())
        result << warning.text();
    if (reader.failed())
        result << reader.errorText();
    return result;
}

// The same result whole, byte by byte, in slices of seven, and compressed.
QStringList readEveryWay(const QByteArray &bytes)
{
    const QStringList whole = read(bytes, std::max<qsizetype>(bytes.size(), 1));
    EXPECT_EQ(read(bytes, 1), whole);
    EXPECT_EQ(read(bytes, 7), whole);
    EXPECT_EQ(read(gzip(bytes), 3), whole);
    return whole;
}

const QByteArray Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
const QByteArray Url = "<url><loc>http://a/</loc></url>\n";

TEST(SitemapReader, TakesLocsAndLastmodsWarnsAboutBadEntriesAndFailsOnAnythingElse)
{
    const struct
    {
        const char *behaviour;
        QByteArray bytes;
        QStringList result;
    } cases[] = {
        {"trimmed, entities and character references decoded",
         Head + "<url><loc>\n  http://a.example/?x=1&amp;y=&#50;&#x33;  </loc>\n<lastmod> 2024-05-01 </lastmod></url>\n"
                "<url><loc><![CDATA[http://b.example/<b>]]></loc></url>\n</urlset>\n",
         {"urlset", "http://a.example/?x=1&y=23 | 2024-05-01 | 3", "http://b.example/<b> |  | 6"}},
        {"bad and missing locs warned by line, a URL twice kept once with its first lastmod",
         Head + "<url><loc>http://a/</loc><lastmod>1</lastmod></url>\n<url><loc>ftp://b/</loc></url>\n"
                "<url><lastmod>2</lastmod></url>\n<url><loc>http://a/</loc><lastmod>3</lastmod></url>\n"
                "<url><loc>http://x y/</loc></url></urlset>",
         {"urlset", "http://a/ | 1 | 3", R"(sitemap.xml, line 4: not an http:// or https:// URL: "ftp://b/")",
          "sitemap.xml, line 5: a <url> without a <loc>",
          R"(sitemap.xml, line 7: a blank or control character inside the URL: "http://x y/")"}},
        {"no namespace is accepted, other namespaces and unknown elements are passed over",
         "<urlset xmlns:i=\"http://www.google.com/schemas/sitemap-image/1.1\"><url><i:image><i:loc>http://img/</i:loc>"
         "</i:image><priority><loc>http://p/</loc></priority><loc>http://a/</loc><loc>http://second/</loc></url>"
         "<other>" +
             Url + "</other></urlset>",
         {"urlset", "http://a/ |  | 1"}},
        {"an index lists sitemaps",
         "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n<sitemap><loc>http://a/s1.xml.gz</loc>"
         "<lastmod>2024</lastmod></sitemap>\n" +
             Url + "<sitemap/></sitemapindex>",
         {"index", "http://a/s1.xml.gz | 2024 | 2", "sitemap.xml, line 4: a <sitemap> without a <loc>"}},
        {"the declared encoding is honoured",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><urlset><url><loc>http://a/\xE9</loc></url></urlset>",
         {"urlset", QStringLiteral("http://a/\u00E9 |  | 1")}},
        {"tags that do not match",
         Head + Url + "<url><loc>http://b/</url>",
         {"urlset", "sitemap.xml, line 4, column 20: Opening and ending tag mismatch."}},
        {"an undeclared entity",
         Head + "<url><loc>http://b/&nbsp;</loc></url></urlset>",
         {"urlset", R"(sitemap.xml, line 3, column 20: Undeclared entity "nbsp".)"}},
        {"content after the root",
         Head + Url + "</urlset><urlset/>",
         {"urlset", "sitemap.xml, line 4, column 10: Extra content at end of document."}},
        {"the end missing", Head + Url, {"urlset", "sitemap.xml, line 4, column 1: Premature end of document."}},
        {"an empty file", "", {"unknown", "sitemap.xml: the file is empty"}},
        {"a root in another namespace",
         "<urlset xmlns=\"http://example/other\">" + Url + "</urlset>",
         {"unknown", "sitemap.xml, line 1: the root element is <urlset>, not <urlset> or <sitemapindex>"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(readEveryWay(c.bytes), c.result);
    }
}

// Tokens of a few MiB, each read in odd slices, plain and compressed: nothing
// of the result may change with where the slices end, and a long <lastmod> is
// cut to MaxFieldBytes.
TEST(SitemapReader, LongTokensOfEveryShapeReadTheSameInAnySlices)
{
    QByteArray filler;
    while (filler.size() < 2 * 1024 * 1024)
        filler += "x-y]z?w> "; // one character short of closing a comment, a CDATA section or an instruction
    QByteArray tiny;
    while (tiny.size() < 2 * 1024 * 1024)
        tiny += "<a/>";
    const QByteArray root = "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    const QString loc = QStringLiteral("http://a/ |  | 2");
    const struct
    {
        const char *shape;
        QByteArray bytes;
        QStringList result;
    } cases[] = {
        {"a comment", root + "<!--" + filler + "-->" + Url + "</urlset>", {"urlset", loc}},
        {"a CDATA section", root + "<![CDATA[" + filler + "]]>" + Url + "</urlset>", {"urlset", loc}},
        {"a processing instruction", root + "<?pi " + filler + "?>" + Url + "</urlset>", {"urlset", loc}},
        {"a comment in the DOCTYPE",
         "<!DOCTYPE urlset [<!ATTLIST urlset a CDATA '>'><!--" + filler + "--><?pi " + filler + "?>]>" + root + Url +
             "</urlset>",
         {"urlset", loc}},
        {"text", root + filler + Url + "</urlset>", {"urlset", loc}},
        {"an attribute value", root + "<x a=\"" + filler + "\"/>" + Url + "</urlset>", {"urlset", loc}},
        {"many tiny tokens", root + tiny + Url + "</urlset>", {"urlset", loc}},
        {"a lastmod in CDATA, cut",
         root + "<url><loc>http://a/</loc><lastmod><![CDATA[" + filler + "]]></lastmod></url></urlset>",
         {"urlset", QStringLiteral("http://a/ | %1 | 2")
                        .arg(QString::fromLatin1(filler.first(SitemapReader::MaxFieldBytes).trimmed()))}},
        {"a tag name",
         root + "<" + QByteArray(filler.size(), 'n') + "/></urlset>",
         {"urlset", "sitemap.xml, line 2, column 1026: A name longer than 1024 bytes."}},
        {"an unclosed comment",
         root + "<!--" + filler,
         {"urlset",
          QStringLiteral("sitemap.xml, line 2, column %1: Premature end of document.").arg(5 + filler.size())}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shape);
        EXPECT_EQ(read(c.bytes, 65537), c.result);
        EXPECT_EQ(read(c.bytes, 1), c.result);
        EXPECT_EQ(read(gzip(c.bytes), 4099), c.result);
    }
    // Two bytes a character: the comment is found in UTF-16 as well.
    const QString wide = QString::fromLatin1(root + "<!--" + filler + "-->" + Url + "</urlset>");
    const QByteArray utf16 =
        QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(wide.utf16()), wide.size() * 2);
    EXPECT_EQ(read(utf16, 65537), (QStringList{"urlset", loc}));
}

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        bytes += bigEndian ? QByteArray{&high, 1} + low : QByteArray{&low, 1} + high;
    }
    return bytes;
}

TEST(SitemapReader, FaultsAreNamedWithTheirLineAndColumn)
{
    const QByteArray deep = QByteArray("<urlset>") + QByteArray("<a>").repeated(300);
    const struct
    {
        QByteArray bytes;
        const char *error;
    } cases[] = {
        {"<urlset a='1' b=\"2\" a='3'/>", "line 1, column 22: Attribute \"a\" redefined."},
        {"<urlset a='1'b='2'/>", "line 1, column 14: Attributes must be separated by blanks."},
        {"<urlset a='x<y'/>", "line 1, column 13: Unexpected '<' in an attribute value."},
        {"<urlset><p:url/></urlset>", "line 1, column 9: Undeclared namespace prefix \"p\"."},
        {"<urlset q:a='1'/>", "line 1, column 1: Undeclared namespace prefix \"q\"."},
        {"<urlset><!-- a -- b --></urlset>", "line 1, column 18: \"--\" is not allowed inside a comment."},
        {"<!DOCTYPE urlset [<!-- a -- b -->]><urlset/>", "line 1, column 28: \"--\" is not allowed inside a comment."},
        {"<urlset><!-x--></urlset>", "line 1, column 12: Expected '-' to open a comment."},
        {"<?xml version='1.0'" + QByteArray(300, ' ') + "?><urlset/>", "line 1, column 1: Invalid XML declaration."},
        {"<urlset>&#0;</urlset>", "line 1, column 9: Invalid character reference."},
        {"<urlset>&#xD800;</urlset>", "line 1, column 9: Invalid character reference."},
        {"<urlset>a]]>b</urlset>", "line 1, column 12: \"]]>\" is not allowed in text."},
        {"hello<urlset/>", "line 1, column 1: Start tag expected."},
        {"\n<?xml version='1.0'?><urlset/>", "line 2, column 1: XML declaration not at start of document."},
        {"<?xml version='1.0' encoding='EBCDIC'?><urlset/>", "line 1, column 1: Unsupported encoding \"EBCDIC\"."},
        {"<?xml encoding='UTF-8'?><urlset/>", "line 1, column 1: Invalid XML declaration."},
        {"<!DOCTYPE urlset [<!ENTITY a 'b'>]><urlset>&a;</urlset>",
         "line 1, column 27: The DOCTYPE declares entities; a sitemap needs none."},
        {"<urlset>\xC3\x28</urlset>", "line 1, column 10: Invalid byte sequence for the document's encoding."},
        {"<urlset>\x01</urlset>", "line 1, column 9: A character XML does not allow."},
        {"\xFF\xFE" + utf16("<urlset>", false) + QByteArrayLiteral("\0\xD8") + utf16("</urlset>", false),
         "line 1, column 9: Invalid byte sequence for the document's encoding."},
        {"\r\n\r\n<urlset>\r<url>\n\xC3\xBC</urlset>", "line 5, column 2: Opening and ending tag mismatch."},
        {deep, "line 1, column 774: Elements nested deeper than 256 levels."},
        {"<" + QByteArray(1100, 'n') + "\xC3\x97/>", "line 1, column 1026: A name longer than 1024 bytes."},
        {"<urlset><url><loc>http://a/", "line 1, column 28: Premature end of document."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes.left(60).toStdString());
        const QStringList result = readEveryWay(c.bytes);
        ASSERT_FALSE(result.isEmpty());
        EXPECT_EQ(result.last(), QStringLiteral("sitemap.xml, ") + QString::fromUtf8(c.error));
    }
}

TEST(SitemapReader, OddButWellFormedDocumentsRead)
{
    const QByteArray sitemapSpace = "http://www.sitemaps.org/schemas/sitemap/0.9";
    const QString latin = QStringLiteral("<urlset><url><loc>http://a/\u00E9\U0001F600</loc></url></urlset>");
    const QByteArray blanks(5000, ' ');
    const struct
    {
        const char *behaviour;
        QByteArray bytes;
        QStringList result;
    } cases[] = {
        {"CDATA split around ]]> and character references",
         "<urlset><url><loc><![CDATA[http://a/]]]]><![CDATA[>x]]>&#x2F;&#233;</loc></url></urlset>",
         {"urlset", QStringLiteral("http://a/]]>x/\u00E9 |  | 1")}},
        {"a prefixed sitemap namespace, written with references, and a prefix bound again below",
         "<s:urlset xmlns:s='http:&#x2F;/www.sitemaps.org/schemas/sitemap/0.9'><s:url><s:loc>http://a/</s:loc>"
         "</s:url><s:url xmlns:s='http://other/'><s:loc>http://b/</s:loc></s:url><url><loc>http://c/</loc></url>"
         "</s:urlset>",
         {"urlset", "http://a/ |  | 1", "http://c/ |  | 1"}},
        {"foreign elements, comments, PIs and a DOCTYPE with quotes and comments are passed over",
         "<?xml version='1.0' standalone='yes'?>\n<!DOCTYPE urlset SYSTEM \"a>b\" [\n<!-- ]> -->"
         "<!ATTLIST urlset x CDATA ']>'>\n<?pi ]>?>]>\n<urlset xmlns='" +
             sitemapSpace +
             "' xmlns:x='http://www.w3.org/1999/xhtml'><!-- <url><loc>http://no/</loc></url> -->"
             "<url><?pi <loc>?><x:link href='http://alt/'/><loc>http://a/</loc></url></urlset><!-- end -->\n",
         {"urlset", "http://a/ |  | 5"}},
        {"blanks around a loc do not count against its length",
         "<urlset><url><loc>" + blanks + "http://a/" + blanks + "</loc><lastmod>\n 2024 \n</lastmod></url></urlset>",
         {"urlset", "http://a/ | 2024 | 1"}},
        {"a loc past the length kept is refused",
         "<urlset><url><loc>http://a/" + QByteArray(SitemapReader::MaxFieldBytes * 3, 'x') + "</loc></url></urlset>",
         {"urlset", "sitemap.xml, line 1: URL longer than 255 bytes: \"http://a/" + QString(51, u'x') + "...\""}},
        {"UTF-16, little endian with its mark",
         "\xFF\xFE" + utf16(latin, false),
         {"urlset", QStringLiteral("http://a/\u00E9\U0001F600 |  | 1")}},
        {"UTF-16, big endian without a mark",
         utf16("<?xml version='1.0' encoding='UTF-16'?>" + latin, true),
         {"urlset", QStringLiteral("http://a/\u00E9\U0001F600 |  | 1")}},
        {"windows-1252 and a UTF-8 byte order mark",
         "<?xml version='1.0' encoding='windows-1252'?><urlset><url><loc>http://a/\x80</loc></url></urlset>",
         {"urlset", QStringLiteral("http://a/\u20AC |  | 1")}},
        {"a UTF-8 byte order mark",
         "\xEF\xBB\xBF<urlset><url><loc>http://a/\xC3\xA9</loc></url></urlset>",
         {"urlset", QStringLiteral("http://a/\u00E9 |  | 1")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(readEveryWay(c.bytes), c.result);
    }
}

TEST(SitemapReader, GzipMembersJoinAndDamageFails)
{
    const QByteArray packed = gzip(Head + Url + "</urlset>");
    QByteArray damaged = packed;
    damaged[12] = char(damaged[12] ^ 0x55);
    EXPECT_EQ(read(packed.chopped(6), 5).last(), QStringLiteral("sitemap.xml: the compressed data ends early"));
    EXPECT_TRUE(read(damaged, 5).last().startsWith(QStringLiteral("sitemap.xml: the compressed data is damaged")));
    EXPECT_EQ(read(gzip(Head) + gzip(Url + "</urlset>"), 5), (QStringList{"urlset", "http://a/ |  | 3"}));
}

TEST(SitemapReader, LimitsHoldForUrlsAndForTheInflatedSize)
{
    QByteArray full = Head;
    for (int i = 0; i < SitemapReader::MaxUrls; ++i)
        full += "<url><loc>http://a/" + QByteArray::number(i) + "</loc></url>\n";
    EXPECT_EQ(read(full + "</urlset>", 1 << 16).size(), 1 + SitemapReader::MaxUrls);
    EXPECT_EQ(read(full + Url + "</urlset>", 1 << 16),
              (QStringList{"urlset", "sitemap.xml: more than 50000 URLs; a sitemap lists at most 50000"}));

    // A small download that inflates past the limit is refused as soon as the limit is reached.
    const QByteArray bomb = gzip(Head + QByteArray(SitemapReader::MaxBytes, ' ') + "</urlset>");
    ASSERT_LT(bomb.size(), 1024 * 1024);
    SitemapReader reader(QStringLiteral("sitemap.xml"));
    reader.feed(bomb);
    reader.finish();
    EXPECT_EQ(reader.xmlBytes(), SitemapReader::MaxBytes);
    EXPECT_EQ(reader.errorText(),
              QStringLiteral("sitemap.xml: more than 50 MiB of XML; a sitemap holds at most 50 MiB uncompressed"));
}

} // namespace
