#include <gtest/gtest.h>

#include <QStringEncoder>

#include "checks/htmlpagereader.h"
#include "checks/pagefetch.h"
#include "net/httpclient.h"
#include "support/loopbackpeer.h"

using checks::PageVerdict;

namespace checks {
void PrintTo(const PageVerdict &verdict, std::ostream *out)
{
    *out << int(verdict.kind) << " \"" << verdict.text.toStdString() << '"';
}
} // namespace checks

namespace {

const QByteArray page = "https://a.example/page.html";
const QByteArray noindexPage = "<html><head><meta name=\"robots\" content=\"noindex\"></head><body>caf\xC3\xA9 "
                               "\xE2\x82\xAC</body></html>";

QByteArray encoded(QStringConverter::Encoding encoding, const QByteArray &utf8)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(QString::fromUtf8(utf8));
}

PageVerdict unreadable(const char *why)
{
    return PageVerdict::unreachable(QString::fromLatin1(why));
}

// A tag with count attributes, each of another name.
QByteArray manyAttributes(int count)
{
    QByteArray attributes;
    attributes.reserve(count * 8);
    for (int i = 0; i < count; ++i)
        attributes += " a" + QByteArray::number(i) + "=x";
    return attributes;
}

TEST(PageReading, TheEncodingIsDecidedBeforeTheParserReads)
{
    const QByteArray utf16le = encoded(QStringConverter::Utf16LE, noindexPage);
    const QByteArray utf16be = encoded(QStringConverter::Utf16BE, noindexPage);
    const QByteArray noindexMeta = "<meta name=robots content=noindex>";
    const struct
    {
        const char *behaviour;
        QByteArray contentType;
        QByteArray bytes;
        PageVerdict verdict;
    } cases[] = {
        {"UTF-16LE with a byte order mark", "", "\xFF\xFE" + utf16le, PageVerdict::noindexMeta()},
        {"UTF-16BE with a byte order mark", "text/html", "\xFE\xFF" + utf16be, PageVerdict::noindexMeta()},
        {"UTF-16 named by the header only", "text/html; charset=UTF-16", utf16le, PageVerdict::noindexMeta()},
        {"UTF-16BE named by the header, quoted", "text/html;charset=\"utf-16be\"", utf16be, PageVerdict::noindexMeta()},
        {"UTF-16 with neither mark nor label", "", utf16le, PageVerdict::noindexMeta()},
        {"the byte order mark over the header", "text/html; charset=windows-1252", "\xFF\xFE" + utf16le,
         PageVerdict::noindexMeta()},
        {"UTF-32 named by the header and so written", "text/html; charset=utf-32le",
         encoded(QStringConverter::Utf32LE, noindexPage), PageVerdict::noindexMeta()},
        {"UTF-32 named by the header, ASCII sent", "text/html; charset=utf-32", noindexPage,
         unreadable("cannot read the page's encoding: utf-32")},
        {"a meta naming UTF-16 on an ASCII page", "", "<meta charset=\"utf-16\">" + noindexMeta,
         PageVerdict::noindexMeta()},
        {"a meta naming UTF-32", "", "<meta charset=\"utf-32\">" + noindexMeta,
         unreadable("cannot read the page's encoding: utf-32")},
        {"a meta naming EBCDIC", "", "<meta charset=cp037>" + noindexMeta,
         unreadable("cannot read the page's encoding: cp037")},
        {"a meta http-equiv naming EBCDIC", "",
         "<!-- <meta charset=utf-8> --><meta http-equiv=\"Content-Type\" content=\"text/html; charset=IBM037\">" +
             noindexMeta,
         unreadable("cannot read the page's encoding: ibm037")},
        {"a header label no one knows is passed over", "text/html; charset=x-no-such",
         "<meta charset=\"utf-32\">" + noindexMeta, unreadable("cannot read the page's encoding: utf-32")},
        {"the header over the meta", "text/html; charset=utf-8", "<meta charset=\"utf-32\">" + noindexMeta,
         PageVerdict::noindexMeta()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(checks::readHtmlPage(page, c.bytes, c.contentType).pageSignals.verdict(page), c.verdict);
    }

    // Decoded text hashes as its UTF-8 twin does, however the bytes arrive.
    const QByteArray reference = checks::readHtmlPage(page, noindexPage, "text/html; charset=utf-8").fingerprint;
    for (const qsizetype slice : {1, 3, 4096}) {
        checks::HtmlPageReader reader(page, "text/html; charset=utf-16");
        for (qsizetype at = 0; at < utf16le.size(); at += slice)
            reader.feed(QByteArrayView(utf16le).sliced(at, qMin(slice, utf16le.size() - at)));
        reader.finish();
        EXPECT_EQ(reader.fingerprint(), reference) << "slices of " << slice;
    }
}

TEST(PageReading, ATagThatWouldStallTheParserIsNotRead)
{
    const QByteArray attributes = manyAttributes(80000);
    const PageVerdict refused = unreadable("cannot read the page: a tag with more than 256 attributes");
    const struct
    {
        const char *behaviour;
        QByteArray html;
        PageVerdict verdict;
    } cases[] = {
        {"a tag of 80 000 attributes", "<html><body><div" + attributes + ">x</div>", refused},
        {"after a script that closed itself", "<script/><div" + attributes + ">", refused},
        {"words the parser takes for attributes after a bad one", "<div !x='" + attributes + "'>", refused},
        {"the words of a bogus tag", "<!x" + attributes + ">", refused},
        {"the same inside a quoted value", "<div title='" + attributes + "'>x</div>", PageVerdict::indexablePage()},
        {"the same inside a script", "<script>s = '<div" + attributes + "';</script>", PageVerdict::indexablePage()},
        {"the same inside a comment", "<!-- <div" + attributes + " -->", PageVerdict::indexablePage()},
        {"a noindex read before the tag still counts",
         "<meta name=robots content=noindex>" + QByteArray(20000, ' ') + "<div" + attributes + ">",
         PageVerdict::noindexMeta()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const checks::PageReading reading = checks::readHtmlPage(page, c.html);
        EXPECT_EQ(reading.pageSignals.verdict(page), c.verdict);
        EXPECT_EQ(reading.fingerprint.isEmpty(), reading.pageSignals.unreadable.size() > 0);
    }
}

// A page served once by a loopback peer, through the page fetch.
checks::PageFetchResult served(const QByteArray &answer)
{
    qctest::LoopbackPeer peer;
    peer.readRequest().send(answer).closeConnection();
    EXPECT_TRUE(peer.start());
    THTTPClient http;
    checks::PageFetchRequest request;
    request.url = peer.url("/page.html");
    request.timeoutSeconds = 20;
    checks::PageFetchResult result = checks::fetchPage(http, request);
    peer.stop();
    return result;
}

TEST(PageFetch, TheRobotsHeaderIsReadWholeAndTheBodyInItsEncoding)
{
    QByteArray directives;
    while (directives.size() < 3000)
        directives += "max-snippet: 20, ";
    QByteArray endless;
    while (endless.size() < 70 * 1024)
        endless += "nofollow, ";
    const QByteArray body = "<p>x</p>";
    const struct
    {
        const char *behaviour;
        QByteArray headers;
        QByteArray body;
        PageVerdict verdict;
    } cases[] = {
        {"a folded header", "X-Robots-Tag: nofollow,\r\n noindex\r\n", body, PageVerdict::noindexHeader()},
        {"a fold without a comma", "X-Robots-Tag: nofollow\r\n\tnoindex\r\n", body, PageVerdict::noindexHeader()},
        {"a header longer than the line buffer", "X-Robots-Tag: " + directives + "noindex\r\n", body,
         PageVerdict::noindexHeader()},
        {"several headers", "X-Robots-Tag: nofollow\r\nX-Robots-Tag: otherbot: noindex\r\n", body,
         PageVerdict::noindexHeader()},
        {"a header past what is read", "X-Robots-Tag: " + endless + "noindex\r\n", body,
         unreadable("cannot read the page's X-Robots-Tag: longer than 64 KiB")},
        {"UTF-16 named by the header", "Content-Type: text/html; charset=utf-16\r\n",
         encoded(QStringConverter::Utf16LE, noindexPage), PageVerdict::noindexMeta()},
        {"a 16 MiB tag", "", "<html><head><meta name=robots" + manyAttributes(1600000) + " content=noindex>",
         unreadable("cannot read the page: a tag with more than 256 attributes")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const checks::PageFetchResult result = served("HTTP/1.0 200 OK\r\n" + c.headers + "\r\n" + c.body);
        ASSERT_TRUE(result.answered()) << result.text.toStdString();
        EXPECT_EQ(result.pageSignals.verdict(result.finalUrl), c.verdict);
    }
}

} // namespace
