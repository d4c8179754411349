#include "checks/htmlpagereader.h"

#include <QByteArrayList>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <mutex>

namespace checks {

namespace {

// Parsers made since their dictionary of names was last dropped: a reused
// parser keeps every element and attribute name it met, and a hostile site
// could make that grow without end.
constexpr int maxDictionaryNames = 4096;

QByteArrayView view(const xmlChar *text)
{
    return text == nullptr ? QByteArrayView() : QByteArrayView(reinterpret_cast<const char *>(text));
}

// name in lower case: name itself when it has no capital (libxml2 lowers the
// names it parses), else a lowered copy in scratch.
QByteArrayView lowered(QByteArrayView name, QByteArray &scratch)
{
    for (const char c : name) {
        if (c >= 'A' && c <= 'Z') {
            scratch = name.toByteArray().toLower();
            return scratch;
        }
    }
    return name;
}

bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Whether the blank-separated words of rel include "canonical", in any letter case.
bool relNamesCanonical(QByteArrayView rel)
{
    qsizetype at = 0;
    while (at < rel.size()) {
        while (at < rel.size() && isSpace(rel[at]))
            ++at;
        const qsizetype start = at;
        while (at < rel.size() && !isSpace(rel[at]))
            ++at;
        if (rel.sliced(start, at - start).compare("canonical", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void ignoreError(void *, const xmlError *)
{}

void ignoreMessage(void *, const char *, ...)
{}

// IGNORE_ENC: a <meta charset> never switches the parser; the decoder has decided.
constexpr int parseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                             HTML_PARSE_NODEFDTD | HTML_PARSE_IGNORE_ENC;

} // namespace

// The libxml2 side: a push parser whose SAX callbacks land in the reader.
struct HtmlPageReader::Parser
{
    explicit Parser(HtmlPageReader &reader) : m_reader(reader)
    {
        // libxml2 sets up its globals once, before any thread parses.
        static std::once_flag initialised;
        std::call_once(initialised, [] { xmlInitParser(); });
        // What libxml2 reports outside a parser context (an encoding it cannot
        // convert) goes to this thread's generic handler, standard error by default.
        xmlSetGenericErrorFunc(nullptr, ignoreMessage);
        create();
    }
    ~Parser()
    {
        if (context != nullptr)
            htmlFreeParserCtxt(context);
    }

    // Makes the parser ready for a new page, as a new one would be.
    void reset()
    {
        if (!used)
            return;
        used = false;
        if (context != nullptr && context->dict != nullptr && xmlDictSize(context->dict) <= maxDictionaryNames &&
            rewind())
            return;
        if (context != nullptr)
            htmlFreeParserCtxt(context);
        create();
    }

    htmlParserCtxtPtr context = nullptr;
    bool used = false; // something was fed since the parser was made or reset

private:
    void create()
    {
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
        context = htmlCreatePushParserCtxt(&sax, &m_reader, nullptr, 0, nullptr, XML_CHAR_ENCODING_NONE);
        if (context != nullptr)
            readsUtf8();
    }

    // htmlCtxtReset drops the input a push parser reads from: a new one is
    // pushed, with what htmlCreatePushParserCtxt sets besides. False when
    // that fails; the context is then only fit to be freed.
    bool rewind()
    {
        htmlCtxtReset(context);
        xmlParserInputBufferPtr buffer = xmlAllocParserInputBuffer(XML_CHAR_ENCODING_NONE);
        if (buffer == nullptr)
            return false;
        xmlParserInputPtr input = xmlNewIOInputStream(context, buffer, XML_CHAR_ENCODING_NONE);
        if (input == nullptr) {
            xmlFreeParserInputBuffer(buffer);
            return false;
        }
        if (inputPush(context, input) < 0) {
            xmlFreeInputStream(input);
            return false;
        }
        context->progressive = 1;
        readsUtf8();
        return true;
    }

    // The decoder hands on UTF-8: the parser is told so, and told to take no
    // <meta> for a reason to read otherwise (nor to guess, as it would).
    void readsUtf8()
    {
        htmlCtxtUseOptions(context, parseOptions);
        xmlSwitchEncoding(context, XML_CHAR_ENCODING_UTF8);
    }

    HtmlPageReader &m_reader;
};

HtmlPageReader::HtmlPageReader(const QByteArray &pageUrl, QByteArrayView contentType, ContentScope scope)
    : m_base(pageUrl), m_parser(std::make_unique<Parser>(*this))
{
    m_pending.reserve(BlockSize);
    restart(pageUrl, contentType, scope);
}

HtmlPageReader::~HtmlPageReader() = default;

void HtmlPageReader::restart(const QByteArray &pageUrl, QByteArrayView contentType, ContentScope scope)
{
    m_parser->reset();
    m_base = pageUrl;
    m_signals = {};
    m_fingerprint.reset();
    m_scope = scope;
    if (scope == ContentScope::Main) {
        if (!m_regions)
            m_regions = std::make_unique<Region[]>(RegionCount);
        for (int i = 0; i < RegionCount; ++i) {
            m_regions[i].hash.reset();
            m_regions[i].openedAt = -1;
            m_regions[i].seen = false;
        }
    }
    m_depth = 0;
    m_fingerprintResult.clear();
    m_skipDepth = 0;
    m_inBody = false;
    m_finished = false;
    m_pending.resize(0);
    m_decoder.restart(contentType);
    m_guard.restart();
}

void HtmlPageReader::feed(QByteArrayView piece)
{
    if (m_finished || m_parser->context == nullptr || !m_signals.unreadable.isEmpty())
        return;
    parse(m_decoder.feed(piece, m_decoded));
    if (!m_decoder.failure().isEmpty())
        giveUp(m_decoder.failure());
}

void HtmlPageReader::giveUp(const QString &why)
{
    if (!m_signals.unreadable.isEmpty())
        return;
    m_signals.unreadable = why;
    // What came before is read to its end: a noindex in it was said all the same.
    m_parser->used = true;
    htmlParseChunk(m_parser->context, m_pending.constData(), int(m_pending.size()), 1);
    m_pending.resize(0);
}

void HtmlPageReader::parse(QByteArrayView text)
{
    if (text.isEmpty() || !m_signals.unreadable.isEmpty())
        return;
    const qsizetype within = m_guard.take(text);
    feedParser(text.first(within));
    if (within < text.size())
        giveUp(m_guard.failure());
}

void HtmlPageReader::feedParser(QByteArrayView piece)
{
    m_parser->used = true;
    // libxml2's recovery from broken markup depends on where its chunks end, so
    // it is given blocks of one fixed size whatever the network's slicing: the
    // same page always reads the same, and its fingerprint with it.
    while (!piece.isEmpty()) {
        if (m_pending.isEmpty() && piece.size() >= BlockSize) {
            // A whole block at hand needs no copy.
            htmlParseChunk(m_parser->context, piece.data(), int(BlockSize), 0);
            piece = piece.sliced(BlockSize);
            continue;
        }
        const qsizetype take = qMin(BlockSize - m_pending.size(), piece.size());
        m_pending.append(piece.first(take));
        piece = piece.sliced(take);
        if (m_pending.size() == BlockSize) {
            htmlParseChunk(m_parser->context, m_pending.constData(), int(m_pending.size()), 0);
            m_pending.resize(0);
        }
    }
}

void HtmlPageReader::finish()
{
    if (m_finished)
        return;
    if (m_parser->context != nullptr && m_signals.unreadable.isEmpty()) {
        parse(m_decoder.finish(m_decoded));
        if (!m_decoder.failure().isEmpty())
            giveUp(m_decoder.failure());
    }
    if (m_parser->context != nullptr && m_signals.unreadable.isEmpty()) {
        m_parser->used = true;
        htmlParseChunk(m_parser->context, m_pending.constData(), int(m_pending.size()), 1);
    }
    m_pending.resize(0);
    m_finished = true;
    m_fingerprintResult.clear();
    if (!m_signals.unreadable.isEmpty())
        return;
    PageFingerprint *taken = &m_fingerprint;
    if (m_scope == ContentScope::Main) {
        taken = &m_regions[BodyRegion].hash;
        for (const RegionKind kind : {MainRegion, ArticleRegion, RoleRegion})
            if (m_regions[kind].seen) {
                taken = &m_regions[kind].hash;
                break;
            }
    }
    const QByteArray hash = taken->result();
    if (!hash.isEmpty())
        m_fingerprintResult = fingerprintRule(m_scope) + ':' + hash;
}

template <typename Hash> void HtmlPageReader::hashInto(Hash &&hash)
{
    if (m_scope == ContentScope::Page)
        return hash(m_fingerprint);
    for (int i = 0; i < RegionCount; ++i)
        if (m_regions[i].openedAt >= 0)
            hash(m_regions[i].hash);
}

void HtmlPageReader::startElement(QByteArrayView name, const unsigned char **attributes)
{
    ++m_depth;
    if (m_skipDepth > 0)
        return;
    // Views into libxml2's strings, valid for this call; names are copied only
    // when they need lowering (libxml2 lowers what it parses).
    QByteArray elementScratch, attributeScratch, metaNameScratch;
    const QByteArrayView element = lowered(name, elementScratch);
    if (element == "body")
        m_inBody = true;
    QByteArrayView metaName, inputType, rel, href, content, role;
    for (const unsigned char **at = attributes; at != nullptr && at[0] != nullptr; at += 2) {
        const QByteArrayView attribute = lowered(view(at[0]), attributeScratch);
        const QByteArrayView value = view(at[1]);
        if (attribute == "name" || (attribute == "property" && metaName.isEmpty()))
            metaName = value;
        else if (attribute == "type")
            inputType = value.trimmed();
        else if (attribute == "rel")
            rel = value;
        else if (attribute == "href")
            href = value;
        else if (attribute == "content")
            content = value;
        else if (attribute == "role")
            role = value;
    }
    metaName = element == "meta" ? lowered(metaName, metaNameScratch) : QByteArrayView();
    const bool hiddenInput = element == "input" && inputType.compare("hidden", Qt::CaseInsensitive) == 0;

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

    if (m_scope == ContentScope::Main) {
        const bool opens[RegionCount] = {element == "body", element == "main", element == "article",
                                         role.trimmed().compare("main", Qt::CaseInsensitive) == 0};
        for (int i = 0; i < RegionCount; ++i)
            if (opens[i] && m_regions[i].openedAt < 0) {
                m_regions[i].openedAt = m_depth;
                m_regions[i].seen = true;
            }
    }
    hashInto([&](PageFingerprint &fingerprint) { fingerprint.startElement(element); });
    for (const unsigned char **at = attributes; at != nullptr && at[0] != nullptr; at += 2) {
        const QByteArrayView attribute = lowered(view(at[0]), attributeScratch);
        const PageFingerprint::Use use =
            PageFingerprint::attributeUse(element, attribute, metaName, hiddenInput ? "hidden" : "", rel);
        if (use != PageFingerprint::Use::Skipped)
            hashInto([&](PageFingerprint &fingerprint) { fingerprint.attribute(use, attribute, view(at[1])); });
    }
    if (PageFingerprint::skipsInside(element))
        ++m_skipDepth;
}

void HtmlPageReader::endElement(QByteArrayView name)
{
    QByteArray scratch;
    if (m_skipDepth > 0 && PageFingerprint::skipsInside(lowered(name, scratch)))
        --m_skipDepth;
    if (m_scope == ContentScope::Main)
        for (int i = 0; i < RegionCount; ++i)
            if (m_regions[i].openedAt == m_depth)
                m_regions[i].openedAt = -1;
    m_depth = qMax(m_depth - 1, 0);
}

void HtmlPageReader::characters(QByteArrayView text)
{
    if (m_skipDepth == 0)
        hashInto([&](PageFingerprint &fingerprint) { fingerprint.text(text); });
}

PageReading readHtmlPage(const QByteArray &pageUrl, QByteArrayView page, QByteArrayView contentType, ContentScope scope)
{
    HtmlPageReader reader(pageUrl, contentType, scope);
    reader.feed(page);
    reader.finish();
    return {reader.pageSignals(), reader.fingerprint()};
}

} // namespace checks
