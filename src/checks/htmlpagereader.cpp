#include "checks/htmlpagereader.h"

#include <QByteArrayList>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <mutex>

namespace checks {

namespace {

QByteArrayView view(const xmlChar *text)
{
    return text == nullptr ? QByteArrayView() : QByteArrayView(reinterpret_cast<const char *>(text));
}

QByteArray lower(const xmlChar *text)
{
    return view(text).toByteArray().toLower();
}

bool relNamesCanonical(QByteArrayView rel)
{
    for (const QByteArray &word : rel.toByteArray().simplified().split(' '))
        if (word.compare("canonical", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void ignoreError(void *, const xmlError *)
{}

void ignoreMessage(void *, const char *, ...)
{}

} // namespace

// The libxml2 side: a push parser whose SAX callbacks land in the reader.
struct HtmlPageReader::Parser
{
    explicit Parser(HtmlPageReader &reader)
    {
        // libxml2 sets up its globals once, before any thread parses.
        static std::once_flag initialised;
        std::call_once(initialised, [] { xmlInitParser(); });
        // What libxml2 reports outside a parser context (an encoding it cannot
        // convert) goes to this thread's generic handler, standard error by default.
        xmlSetGenericErrorFunc(nullptr, ignoreMessage);
        htmlSAXHandler sax{};
        // The SAX2 mark makes libxml2 report errors through serror, which drops
        // them, instead of printing them on standard error.
        sax.initialized = XML_SAX2_MAGIC;
        sax.serror = reinterpret_cast<xmlStructuredErrorFunc>(ignoreError);
        sax.startElement = [](void *reader, const xmlChar *name, const xmlChar **attributes) {
            static_cast<HtmlPageReader *>(reader)->startElement(view(name),
                                                                reinterpret_cast<const unsigned char **>(attributes));
        };
        sax.endElement = [](void *reader, const xmlChar *name) {
            static_cast<HtmlPageReader *>(reader)->endElement(view(name));
        };
        sax.characters = [](void *reader, const xmlChar *text, int len) {
            static_cast<HtmlPageReader *>(reader)->characters(
                QByteArrayView(reinterpret_cast<const char *>(text), len));
        };
        sax.ignorableWhitespace = sax.characters;
        sax.cdataBlock = sax.characters;
        context = htmlCreatePushParserCtxt(&sax, &reader, nullptr, 0, nullptr, XML_CHAR_ENCODING_NONE);
        if (context != nullptr)
            htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                            HTML_PARSE_NOWARNING | HTML_PARSE_NODEFDTD);
    }
    ~Parser()
    {
        if (context != nullptr)
            htmlFreeParserCtxt(context);
    }

    htmlParserCtxtPtr context = nullptr;
};

HtmlPageReader::HtmlPageReader(const QByteArray &pageUrl) : m_base(pageUrl), m_parser(std::make_unique<Parser>(*this))
{}

HtmlPageReader::~HtmlPageReader() = default;

void HtmlPageReader::feed(QByteArrayView piece)
{
    if (m_finished || m_parser->context == nullptr)
        return;
    // libxml2 takes an int length: a giant piece goes in slices.
    constexpr qsizetype slice = 1 << 20;
    for (qsizetype at = 0; at < piece.size(); at += slice) {
        const QByteArrayView part = piece.sliced(at, qMin(slice, piece.size() - at));
        htmlParseChunk(m_parser->context, part.data(), int(part.size()), 0);
    }
}

void HtmlPageReader::finish()
{
    if (m_finished)
        return;
    if (m_parser->context != nullptr)
        htmlParseChunk(m_parser->context, nullptr, 0, 1);
    m_finished = true;
    m_fingerprintResult = m_fingerprint.result();
}

void HtmlPageReader::startElement(QByteArrayView name, const unsigned char **attributes)
{
    const QByteArray element = name.toByteArray().toLower();
    if (m_skipDepth > 0)
        return;
    if (element == "body")
        m_inBody = true;
    QByteArray metaName, inputType, rel, href, content;
    for (const unsigned char **at = attributes; at != nullptr && at[0] != nullptr; at += 2) {
        const QByteArray attribute = lower(at[0]);
        const QByteArrayView value = view(at[1]);
        if (attribute == "name" || (attribute == "property" && metaName.isEmpty()))
            metaName = value.toByteArray().toLower();
        else if (attribute == "type")
            inputType = value.toByteArray().trimmed().toLower();
        else if (attribute == "rel")
            rel = value.toByteArray();
        else if (attribute == "href")
            href = value.toByteArray();
        else if (attribute == "content")
            content = value.toByteArray();
    }

    if (element == "meta" && isRobotsMetaName(metaName) && robotsDirectivesForbidIndexing(content))
        m_signals.noindexMeta = true;
    if (element == "base" && !m_inBody && !href.isEmpty()) {
        const QByteArray base = resolvedAddress(m_base, href);
        if (!base.isEmpty())
            m_base = base;
    }
    if (element == "link" && !m_inBody && m_signals.canonical.isEmpty() && relNamesCanonical(rel) &&
        !href.trimmed().isEmpty())
        m_signals.canonical = resolvedAddress(m_base, href);

    m_fingerprint.startElement(element);
    for (const unsigned char **at = attributes; at != nullptr && at[0] != nullptr; at += 2) {
        const QByteArray attribute = lower(at[0]);
        if (PageFingerprint::attributeMatters(element, attribute, metaName, inputType))
            m_fingerprint.attribute(attribute, view(at[1]));
    }
    if (PageFingerprint::skipsInside(element))
        ++m_skipDepth;
}

void HtmlPageReader::endElement(QByteArrayView name)
{
    if (m_skipDepth > 0 && PageFingerprint::skipsInside(name.toByteArray().toLower()))
        --m_skipDepth;
}

void HtmlPageReader::characters(QByteArrayView text)
{
    if (m_skipDepth == 0)
        m_fingerprint.text(text);
}

PageReading readHtmlPage(const QByteArray &pageUrl, QByteArrayView page)
{
    HtmlPageReader reader(pageUrl);
    reader.feed(page);
    reader.finish();
    return {reader.pageSignals(), reader.fingerprint()};
}

} // namespace checks
