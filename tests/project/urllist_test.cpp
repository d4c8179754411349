#include "project/readers/urllist.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct Parsed
{
    QStringList urls;
    QStringList warnings;
    qint64 skipped = 0;
    bool operator==(const Parsed &) const = default;
};

Parsed parse(const QByteArray &bytes, qsizetype sliceLength)
{
    UrlListParser parser;
    for (qsizetype at = 0; at < bytes.size(); at += sliceLength)
        parser.feed(QByteArrayView(bytes).sliced(at, std::min(sliceLength, bytes.size() - at)));
    parser.finish();
    EXPECT_EQ(parser.consumed(), bytes.size());
    Parsed parsed{parser.urls(), {}, parser.skippedLines()};
    for (const UrlListWarning &warning : parser.warnings())
        parsed.warnings << warning.text();
    return parsed;
}

// text as UTF-16 after its byte order mark.
QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}

TEST(UrlListParser, KeepsUrlLinesAndWarnsAboutTheOthersByLineNumber)
{
    const QByteArray xs(70000, 'x');
    const QString wide = QStringLiteral("http://caf\u00e9.example/\U0001F600\r\nnot a url\n\nhttp://b/");
    const QByteArray url255 = "http://a.example/" + QByteArray(255 - 17, 'p');
    const struct
    {
        const char *name;
        QByteArray bytes;
        QStringList urls;
        QStringList warnings;
    } cases[] = {
        {"LF, CR LF and CR all end a line",
         "http://a/\r\n\rx y\rhttp://b/\nhttp://c/",
         {"http://a/", "http://b/", "http://c/"},
         {R"(line 3: not an http:// or https:// URL: "x y")"}},
        {"blanks trimmed, empty and comment lines skipped silently",
         " \thttp://a/ \t\n\n  \n# note\n  #x y\n",
         {"http://a/"},
         {}},
        {"a byte order mark is dropped at the start only",
         "\xEF\xBB\xBFhttp://a/\n\xEF\xBB\xBFhttp://b/\n",
         {"http://a/"},
         {R"(line 2: not an http:// or https:// URL: "?http://b/")"}},
        {"half a byte order mark is text",
         "\xEF\xBBhttp://a/",
         {},
         {"line 1: not an http:// or https:// URL: \"\xC3\xAF\xC2\xBBhttp://a/\""}},
        {"a repeated URL is kept once, compared exactly",
         "http://a/\nhttp://A/\nhttp://a/\nhttp://a/#\n",
         {"http://a/", "http://A/", "http://a/#"},
         {}},
        {"scheme in any letter case; user, port and IPv6 hosts",
         "HTTP://a\nhTtPs://u:p@b:8080/\nhttp://[::1]/x\n",
         {"HTTP://a", "hTtPs://u:p@b:8080/", "http://[::1]/x"},
         {}},
        {"other schemes and relative forms",
         "ftp://a/\nhttp:/a/\nhttp//a\nwww.a.example\n",
         {},
         {R"(line 1: not an http:// or https:// URL: "ftp://a/")",
          R"(line 2: not an http:// or https:// URL: "http:/a/")",
          R"(line 3: not an http:// or https:// URL: "http//a")",
          R"(line 4: not an http:// or https:// URL: "www.a.example")"}},
        {"a blank or control character inside",
         "http://a b/\nhttp://a/\tb\nhttp://a/\x01\nhttp://a/\xC2\xA0x\n",
         {},
         {R"(line 1: a blank or control character inside the URL: "http://a b/")",
          R"(line 2: a blank or control character inside the URL: "http://a/?b")",
          R"(line 3: a blank or control character inside the URL: "http://a/?")",
          R"(line 4: a blank or control character inside the URL: "http://a/?x")"}},
        {"no host",
         "http://\nhttps:///p\nhttp://:80/\nhttp://u@/\nhttp://[]/\nhttp://?q\n",
         {},
         {R"(line 1: no host name in the URL: "http://")", R"(line 2: no host name in the URL: "https:///p")",
          R"(line 3: no host name in the URL: "http://:80/")", R"(line 4: no host name in the URL: "http://u@/")",
          R"(line 5: no host name in the URL: "http://[]/")", R"(line 6: no host name in the URL: "http://?q")"}},
        {"255 bytes of UTF-8 fit, 256 do not",
         url255 + "\n" + url255 + "q\n" + url255.left(254) + "\xC3\xA9\n",
         {QString::fromLatin1(url255)},
         {"line 2: URL longer than 255 bytes: \"" + QString::fromLatin1(url255.left(60)) + "...\"",
          "line 3: URL longer than 255 bytes: \"" + QString::fromLatin1(url255.left(60)) + "...\""}},
        {"a huge line is passed over without its text",
         xs + "\r\nhttp://a/\n",
         {"http://a/"},
         {"line 1: line longer than 65536 bytes: \"" + QString(60, u'x') + "...\""}},
        {"text that is no UTF-8 reads as Latin-1", "http://caf\xE9.example/\n", {"http://café.example/"}, {}},
        {"UTF-16 little endian after its mark",
         utf16(wide, true),
         {QStringLiteral("http://caf\u00e9.example/\U0001F600"), "http://b/"},
         {R"(line 2: not an http:// or https:// URL: "not a url")"}},
        {"UTF-16 big endian after its mark",
         utf16(wide, false),
         {QStringLiteral("http://caf\u00e9.example/\U0001F600"), "http://b/"},
         {R"(line 2: not an http:// or https:// URL: "not a url")"}},
        {"a UTF-16 mark is text anywhere but at the start, half a character at the end is no URL",
         "http://a/\n\xFF\xFEx\n" + utf16(QStringLiteral("http://b/"), true).sliced(2) + "\n",
         {"http://a/"},
         {"line 2: not an http:// or https:// URL: \"\xC3\xBF\xC3\xBEx\"",
          R"(line 3: not an http:// or https:// URL: "h?t?t?p?:?/?/?b?/?")"}},
        {"empty input", "", {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Parsed whole = parse(c.bytes, std::max<qsizetype>(c.bytes.size(), 1));
        EXPECT_EQ(whole.urls, c.urls);
        EXPECT_EQ(whole.warnings, c.warnings);
        EXPECT_EQ(whole.skipped, c.warnings.size());
        // Slices of every size must not change a thing, CR LF and the mark split included.
        for (const qsizetype slice : {1, 2, 3, 7})
            EXPECT_TRUE(parse(c.bytes, slice) == whole) << "slices of " << slice;
    }
}

TEST(UrlListParser, KeepsOnlyTheFirstWarningsButCountsEverySkippedLine)
{
    QByteArray bytes;
    for (int i = 0; i < UrlListParser::MaxWarnings + 50; ++i)
        bytes += "junk\n";
    const Parsed parsed = parse(bytes + "http://a/", bytes.size());
    EXPECT_EQ(parsed.warnings.size(), UrlListParser::MaxWarnings);
    EXPECT_EQ(parsed.skipped, UrlListParser::MaxWarnings + 50);
    EXPECT_EQ(parsed.urls, QStringList{"http://a/"});
}

TEST(UrlListRead, AFileThatCannotBeOpenedOrHoldsNoUrlIsNotToBeImported)
{
    qctest::ScopedBaseDir dir;
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *why;
    } empty[] = {
        {"empty.txt", "", "it is empty"},
        {"marked.txt", "\xFF\xFE", "it is empty"},
        {"notes.txt", "# nothing yet\n\n  \n", "only blank and comment lines"},
        // Longer than one slice of the read, so the lines go on across slices.
        {"huge.txt", QByteArray(100000, 'x') + "\n# nothing yet\n", "1 line, rejected"},
        {"urls.txt", "www.a.example\n# note\nftp://b/\nhttp://\n", "3 lines, all rejected"},
    };
    for (const auto &c : empty) {
        SCOPED_TRACE(c.name);
        qctest::writeFile(dir.file(c.name), c.bytes);
        const UrlList list = UrlList::read(dir.file(c.name));
        EXPECT_EQ(list.status, UrlList::Status::NoUrl);
        EXPECT_FALSE(list.readable());
        EXPECT_EQ(list.errorText(),
                  QStringLiteral("%1 holds no valid URL (%2); the project's URLs are left as they are")
                      .arg(QLatin1String(c.name), QLatin1String(c.why)));
    }

    for (const QString &path : {dir.file("missing.txt"), dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        const UrlList list = UrlList::read(path);
        EXPECT_EQ(list.status, UrlList::Status::CannotOpen);
        EXPECT_TRUE(list.errorText().startsWith("Cannot open the URL list \"" + path + "\": "))
            << list.errorText().toStdString();
    }
}

} // namespace
