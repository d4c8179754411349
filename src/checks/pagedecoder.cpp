#include "checks/pagedecoder.h"

#include <cerrno>
#include <iconv.h>

namespace checks {

namespace {

const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A label as the converter may be asked for it; "" for anything that could
// smuggle options into the converter's name ("utf-8//IGNORE").
QByteArray cleanLabel(QByteArrayView label)
{
    QByteArray clean = label.trimmed().toByteArray().toLower();
    if (clean.size() > 40)
        return {};
    for (const char c : clean)
        if (!(isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'))
            return {};
    return clean;
}

bool isUtf8Label(const QByteArray &label)
{
    return label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8";
}

// The UTF-16 labels browsers know, and the byte order each stands for ("" when none).
QByteArray utf16Name(const QByteArray &label)
{
    if (label == "utf-16be" || label == "unicodefffe")
        return "UTF-16BE";
    if (label == "utf-16" || label == "utf-16le" || label == "unicode" || label == "ucs-2" || label == "csunicode" ||
        label == "iso-10646-ucs-2")
        return "UTF-16LE";
    return {};
}

// ASCII labels read as windows-1252 in a browser: a page so labelled still has bytes past 0x7F.
QByteArray converterName(const QByteArray &label)
{
    if (label == "ascii" || label == "us-ascii")
        return "WINDOWS-1252";
    return label.toUpper();
}

// Whether text written in ASCII reads as itself in the converter's encoding.
bool readsAsciiAsItself(iconv_t converter)
{
    static const QByteArray probe = "<meta name=\"a\" content='b; c'>\r\n\t/=-_:,.!?#&%AZaz09</p>";
    QByteArray input = probe;
    char output[256];
    char *in = input.data();
    size_t inLeft = size_t(input.size());
    char *out = output;
    size_t outLeft = sizeof output;
    const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return converted != size_t(-1) && inLeft == 0 && QByteArrayView(output, out - output) == probe;
}

bool converterKnows(const QByteArray &label)
{
    const iconv_t converter = iconv_open("UTF-8", converterName(label).constData());
    if (converter == noConverter)
        return false;
    iconv_close(converter);
    return true;
}

// One attribute of a tag in the prescan, from at; at is left after it.
struct PrescanAttribute
{
    QByteArray name, value;
    bool found = false;
};

PrescanAttribute nextAttribute(QByteArrayView text, qsizetype &at)
{
    PrescanAttribute attribute;
    while (at < text.size() && (isBlank(text[at]) || text[at] == '/'))
        ++at;
    if (at >= text.size() || text[at] == '>')
        return attribute;
    const qsizetype nameStart = at;
    while (at < text.size() && !isBlank(text[at]) && text[at] != '/' && text[at] != '>' &&
           (text[at] != '=' || at == nameStart))
        ++at;
    attribute.name = text.sliced(nameStart, at - nameStart).toByteArray().toLower();
    attribute.found = true;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    if (at >= text.size() || text[at] != '=')
        return attribute;
    ++at;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    if (at >= text.size())
        return attribute;
    if (text[at] == '"' || text[at] == '\'') {
        const char quote = text[at++];
        const qsizetype end = text.indexOf(quote, at);
        const qsizetype stop = end < 0 ? text.size() : end;
        attribute.value = text.sliced(at, stop - at).toByteArray();
        at = end < 0 ? stop : stop + 1;
        return attribute;
    }
    const qsizetype valueStart = at;
    while (at < text.size() && !isBlank(text[at]) && text[at] != '>')
        ++at;
    attribute.value = text.sliced(valueStart, at - valueStart).toByteArray();
    return attribute;
}

// The charset a <meta content="text/html; charset=..."> names, "" when none.
QByteArray charsetInContent(QByteArrayView content)
{
    const QByteArray lower = content.toByteArray().toLower();
    qsizetype at = 0;
    for (;;) {
        at = lower.indexOf("charset", at);
        if (at < 0)
            return {};
        at += 7;
        while (at < lower.size() && isBlank(lower[at]))
            ++at;
        if (at < lower.size() && lower[at] == '=')
            break;
    }
    ++at;
    while (at < lower.size() && isBlank(lower[at]))
        ++at;
    if (at < lower.size() && (lower[at] == '"' || lower[at] == '\'')) {
        const qsizetype end = lower.indexOf(lower[at], at + 1);
        return end < 0 ? QByteArray() : lower.mid(at + 1, end - at - 1);
    }
    qsizetype end = at;
    while (end < lower.size() && !isBlank(lower[end]) && lower[end] != ';')
        ++end;
    return lower.mid(at, end - at);
}

} // namespace

QByteArray charsetOf(QByteArrayView contentType)
{
    const QByteArray type = contentType.toByteArray().toLower();
    qsizetype semicolon = type.indexOf(';');
    while (semicolon >= 0) {
        const qsizetype next = type.indexOf(';', semicolon + 1);
        const QByteArray parameter = type.mid(semicolon + 1, next < 0 ? -1 : next - semicolon - 1).trimmed();
        if (parameter.startsWith("charset") && parameter.mid(7).trimmed().startsWith('=')) {
            QByteArray value = parameter.mid(parameter.indexOf('=') + 1).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value.trimmed();
        }
        semicolon = next;
    }
    return {};
}

QByteArray prescanCharset(QByteArrayView start, const std::function<bool(const QByteArray &)> &known)
{
    qsizetype at = 0;
    while (at < start.size()) {
        const QByteArrayView rest = start.sliced(at);
        if (rest.startsWith("<!--")) {
            // "<!-->" is a whole comment, as browsers read it.
            const qsizetype end = start.indexOf("-->", at + 2);
            at = end < 0 ? start.size() : end + 3;
            continue;
        }
        if (rest.size() >= 6 && rest.first(5).compare("<meta", Qt::CaseInsensitive) == 0 &&
            (isBlank(rest[5]) || rest[5] == '/')) {
            at += 5;
            QByteArray httpEquiv, content, charset;
            bool haveHttpEquiv = false, haveContent = false, haveCharset = false;
            for (PrescanAttribute attribute = nextAttribute(start, at); attribute.found;
                 attribute = nextAttribute(start, at)) {
                // The first of each name counts, as in a browser.
                if (attribute.name == "http-equiv" && !haveHttpEquiv) {
                    haveHttpEquiv = true;
                    httpEquiv = attribute.value.trimmed().toLower();
                } else if (attribute.name == "content" && !haveContent) {
                    haveContent = true;
                    content = attribute.value;
                } else if (attribute.name == "charset" && !haveCharset) {
                    haveCharset = true;
                    charset = attribute.value;
                }
            }
            QByteArray label = haveCharset ? charset : QByteArray();
            if (!haveCharset && haveContent && httpEquiv == "content-type")
                label = charsetInContent(content);
            label = cleanLabel(label);
            if (!label.isEmpty() && known(label))
                return label;
            continue;
        }
        if (rest.size() >= 2 && rest[0] == '<' && (isLetter(rest[1]) || (rest[1] == '/' && rest.size() >= 3 &&
                                                                         isLetter(rest[2])))) {
            // Any other tag: its attributes are passed over whole, quoted '>' and all.
            at += 2;
            while (at < start.size() && !isBlank(start[at]) && start[at] != '>')
                ++at;
            while (nextAttribute(start, at).found) {
            }
            continue;
        }
        if (rest.startsWith("<!") || rest.startsWith("</") || rest.startsWith("<?")) {
            const qsizetype end = start.indexOf('>', at);
            at = end < 0 ? start.size() : end + 1;
            continue;
        }
        ++at;
    }
    return {};
}

PageDecoder::PageDecoder() = default;

PageDecoder::~PageDecoder()
{
    closeConverter();
}

void PageDecoder::closeConverter()
{
    if (m_converter != nullptr)
        iconv_close(static_cast<iconv_t>(m_converter));
    m_converter = nullptr;
}

void PageDecoder::restart(QByteArrayView contentType)
{
    closeConverter();
    m_state = State::Sniffing;
    // A label the converter does not know is passed over, as a browser passes it over.
    m_headerCharset = cleanLabel(charsetOf(contentType));
    if (!m_headerCharset.isEmpty() && !isUtf8Label(m_headerCharset) && utf16Name(m_headerCharset).isEmpty() &&
        !converterKnows(m_headerCharset))
        m_headerCharset.clear();
    m_held.resize(0);
    m_bomSize = 0;
    m_encoding.clear();
    m_carry.clear();
    m_asciiBased = true;
    m_failure.clear();
}

void PageDecoder::fail(const QByteArray &label)
{
    closeConverter();
    m_state = State::Failed;
    m_failure = QStringLiteral("cannot read the page's encoding: ") + QString::fromLatin1(label);
}

bool PageDecoder::choose(QByteArray label, bool fromMeta)
{
    label = cleanLabel(label);
    if (label.isEmpty())
        return false;
    const QByteArray utf16 = utf16Name(label);
    if (isUtf8Label(label) || (fromMeta && !utf16.isEmpty())) {
        // A <meta> the prescan could read in ASCII is on no UTF-16 page: browsers take UTF-8.
        m_state = State::PassOn;
        m_encoding = "utf-8";
        return true;
    }
    const iconv_t converter = iconv_open("UTF-8", utf16.isEmpty() ? converterName(label).constData() : utf16.constData());
    if (converter == noConverter)
        return false;
    m_converter = converter;
    m_encoding = label;
    m_asciiBased = utf16.isEmpty() && readsAsciiAsItself(converter);
    if (fromMeta && !m_asciiBased)
        fail(label);
    else
        m_state = State::Convert;
    return true;
}

void PageDecoder::decide(QByteArrayView start)
{
    struct Mark
    {
        const char *bytes;
        qsizetype size;
        const char *label;
    };
    // UTF-32LE's mark starts like UTF-16LE's: it is looked for first.
    static const Mark marks[] = {{"\xFF\xFE\0\0", 4, "utf-32le"},
                                 {"\0\0\xFE\xFF", 4, "utf-32be"},
                                 {"\xFE\xFF", 2, "utf-16be"},
                                 {"\xFF\xFE", 2, "utf-16le"}};
    if (start.startsWith("\xEF\xBB\xBF")) {
        // Passed on with its mark, which the parser drops itself.
        m_state = State::PassOn;
        m_encoding = "utf-8";
        return;
    }
    for (const Mark &mark : marks) {
        if (start.startsWith(QByteArrayView(mark.bytes, mark.size)) && choose(mark.label, false)) {
            m_bomSize = mark.size;
            return;
        }
    }
    if (!m_headerCharset.isEmpty() && choose(m_headerCharset, false))
        return;
    const auto known = [](const QByteArray &label) {
        return isUtf8Label(label) || !utf16Name(label).isEmpty() || converterKnows(label);
    };
    const QByteArray label = prescanCharset(start.first(qMin(start.size(), PrescanSize)), known);
    if (!label.isEmpty() && choose(label, true))
        return;
    // Nothing declared: the parser reads the bytes as it always has.
    m_state = State::PassOn;
}

QByteArrayView PageDecoder::feed(QByteArrayView piece, QByteArray &scratch)
{
    switch (m_state) {
    case State::Sniffing: {
        m_held.append(piece);
        // The header names the encoding unless a byte order mark overrides it:
        // four bytes tell. Otherwise the prescan wants its bytes.
        const bool headerDecides = !m_headerCharset.isEmpty() && m_held.size() >= 4;
        if (!headerDecides && m_held.size() < PrescanSize)
            return {};
        decide(m_held);
        QByteArray held;
        held.swap(m_held);
        if (m_state == State::PassOn) {
            scratch = std::move(held);
            return scratch;
        }
        return feed(QByteArrayView(held).sliced(qMin(m_bomSize, held.size())), scratch);
    }
    case State::PassOn:
        return piece;
    case State::Convert:
        scratch.resize(0);
        convert(piece, scratch, false);
        return scratch;
    case State::Failed:
        break;
    }
    return {};
}

QByteArrayView PageDecoder::finish(QByteArray &scratch)
{
    if (m_state == State::Sniffing) {
        decide(m_held);
        QByteArray held;
        held.swap(m_held);
        if (m_state == State::PassOn) {
            scratch = std::move(held);
            return scratch;
        }
        if (m_state == State::Convert) {
            scratch.resize(0);
            convert(QByteArrayView(held).sliced(qMin(m_bomSize, held.size())), scratch, true);
        }
    } else if (m_state == State::Convert) {
        scratch.resize(0);
        convert({}, scratch, true);
    } else {
        return {};
    }
    return scratch;
}

void PageDecoder::convert(QByteArrayView bytes, QByteArray &out, bool atEnd)
{
    QByteArray input = m_carry;
    input.append(bytes);
    m_carry.clear();
    char *in = input.data();
    size_t inLeft = size_t(input.size());
    const iconv_t converter = static_cast<iconv_t>(m_converter);
    char block[16 * 1024];
    for (;;) {
        char *outAt = block;
        size_t outLeft = sizeof block;
        const size_t converted = inLeft == 0 && atEnd ? iconv(converter, nullptr, nullptr, &outAt, &outLeft)
                                                      : iconv(converter, &in, &inLeft, &outAt, &outLeft);
        out.append(block, outAt - block);
        if (converted != size_t(-1)) {
            if (inLeft == 0)
                return;
            continue;
        }
        if (errno == E2BIG)
            continue;
        if (errno == EINVAL && !atEnd) {
            // A sequence cut by the piece's end: it is completed by the next piece.
            m_carry = QByteArray(in, qsizetype(inLeft));
            return;
        }
        // A byte that is no text in the encoding, or a sequence the page ends inside.
        if (!m_asciiBased)
            return fail(m_encoding);
        out.append("\xEF\xBF\xBD");
        ++in;
        --inLeft;
    }
}

} // namespace checks
