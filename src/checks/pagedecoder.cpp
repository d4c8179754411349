#include "checks/pagedecoder.h"

#include "checks/charsetprescan.h"
#include "checks/htmlchars.h"

#include <cerrno>
#include <iconv.h>

namespace checks {

namespace {

const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);

// A label as the converter may be asked for it; "" for anything that could
// smuggle options into the converter's name ("utf-8//IGNORE").
QByteArray cleanLabel(QByteArrayView label)
{
    QByteArray clean = label.trimmed().toByteArray().toLower();
    if (clean.size() > 40)
        return {};
    for (const char c : clean)
        if (!(isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'))
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

} // namespace

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
    const iconv_t converter =
        iconv_open("UTF-8", utf16.isEmpty() ? converterName(label).constData() : utf16.constData());
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
        m_state = State::PassOn;
        m_encoding = "utf-8";
        m_bomSize = 3;
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
    const auto known = [](const QByteArray &raw) {
        const QByteArray label = cleanLabel(raw);
        return !label.isEmpty() && (isUtf8Label(label) || !utf16Name(label).isEmpty() || converterKnows(label));
    };
    const QByteArray label = prescanCharset(start.first(qMin(start.size(), PrescanSize)), known);
    if (!label.isEmpty() && choose(label, true))
        return;
    // Wide text with neither mark nor label still shows in its zero bytes:
    // ASCII markup leaves them in fixed places. Read as Latin-1, as a browser
    // would, its noindex would go unseen.
    static const Mark zeros[] = {{"x\0x\0", 4, "utf-16le"},
                                 {"\0x\0x", 4, "utf-16be"},
                                 {"x\0\0\0", 4, "utf-32le"},
                                 {"\0\0\0x", 4, "utf-32be"}};
    for (const Mark &pattern : zeros) {
        bool fits = start.size() >= pattern.size;
        for (qsizetype i = 0; fits && i < pattern.size; ++i)
            fits = (start[i] == 0) == (pattern.bytes[i] == 0);
        if (fits && choose(pattern.label, false))
            return;
    }
    // Nothing declared: one byte is one character, as the parser has always
    // read such a page (and a browser nearly so), and as its fingerprint was taken.
    m_converter = iconv_open("UTF-8", "ISO-8859-1");
    m_state = m_converter == noConverter ? State::PassOn : State::Convert;
    if (m_converter == noConverter)
        m_converter = nullptr;
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
        return release(scratch, false);
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
    if (m_state == State::Sniffing)
        return release(scratch, true);
    if (m_state != State::Convert)
        return {};
    scratch.resize(0);
    convert({}, scratch, true);
    return scratch;
}

QByteArrayView PageDecoder::release(QByteArray &scratch, bool atEnd)
{
    decide(m_held);
    QByteArray held;
    held.swap(m_held);
    const qsizetype bom = qMin(m_bomSize, held.size());
    if (m_state == State::PassOn) {
        scratch = held.sliced(bom);
        return scratch;
    }
    scratch.resize(0);
    if (m_state == State::Convert)
        convert(QByteArrayView(held).sliced(bom), scratch, atEnd);
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
