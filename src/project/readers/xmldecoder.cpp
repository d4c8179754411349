#include "project/readers/xmldecoder.h"

#include <array>

namespace {

constexpr char Invalid = '\xFF';

// The characters of bytes 0x80..0xFF; 0 where the byte is none.
using UpperHalf = std::array<char16_t, 128>;

constexpr UpperHalf latin1Upper()
{
    UpperHalf table{};
    for (int i = 0; i < 128; ++i)
        table[i] = char16_t(0x80 + i);
    return table;
}

constexpr UpperHalf windows1252Upper()
{
    UpperHalf table = latin1Upper();
    constexpr char16_t c1[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                 0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
        table[i] = c1[i];
    return table;
}

constexpr UpperHalf Latin1 = latin1Upper();
constexpr UpperHalf Windows1252 = windows1252Upper();
constexpr UpperHalf Ascii{};

bool among(const QByteArray &name, std::initializer_list<const char *> names)
{
    for (const char *candidate : names) {
        if (name == candidate)
            return true;
    }
    return false;
}

} // namespace

QByteArrayView XmlDecoder::decode(QByteArrayView bytes, qsizetype *taken)
{
    const QByteArrayView piece = bytes.first(std::min(bytes.size(), Piece));
    *taken = piece.size();
    if (m_form == Form::Sniff) {
        qsizetype at = 0;
        while (m_form == Form::Sniff && at < piece.size()) {
            m_held += piece[at++];
            sniff();
        }
        if (m_form == Form::Sniff)
            return {};
        const QByteArray held = std::exchange(m_held, {});
        m_out.clear();
        if (m_form != Form::Utf8) {
            utf16(held + piece.sliced(at).toByteArray());
            return m_out;
        }
        // The rest passes through on the next call, so a declaration that switches the encoding ends in it.
        *taken = at;
        m_out = held;
        return m_out;
    }
    m_out.clear();
    switch (m_form) {
    case Form::Utf8:
        return piece;
    case Form::Utf16Le:
    case Form::Utf16Be:
        utf16(piece);
        break;
    case Form::SingleByte:
        singleByte(piece);
        break;
    case Form::Sniff:
        break;
    }
    return m_out;
}

QByteArrayView XmlDecoder::finish()
{
    m_out.clear();
    if (m_form == Form::Sniff) {
        m_form = Form::Utf8;
        m_out = std::exchange(m_held, {});
    } else if (!m_held.isEmpty() || m_high) {
        m_out += Invalid;
    }
    m_held.clear();
    m_high = 0;
    return m_out;
}

// Decides once the bytes held tell the encoding, and drops a byte order mark.
void XmlDecoder::sniff()
{
    const auto at = [this](int i) { return uchar(m_held[i]); };
    const int size = int(m_held.size());
    switch (at(0)) {
    case 0xEF: // a UTF-8 byte order mark is EF BB BF
        if (size >= 2 && at(1) != 0xBB)
            m_form = Form::Utf8;
        else if (size == 3) {
            m_form = Form::Utf8;
            m_hadBom = at(2) == 0xBF;
            if (m_hadBom)
                m_held.clear();
        }
        return;
    case 0xFE:
    case 0xFF:
    case '<':
    case 0:
        if (size < 2)
            return;
        m_form = Form::Utf8;
        if (at(0) == 0xFE && at(1) == 0xFF)
            m_form = Form::Utf16Be;
        else if (at(0) == 0xFF && at(1) == 0xFE)
            m_form = Form::Utf16Le;
        else if (at(0) == '<' && at(1) == 0)
            m_form = Form::Utf16Le;
        else if (at(0) == 0 && at(1) == '<')
            m_form = Form::Utf16Be;
        if (m_form != Form::Utf8 && at(0) != '<' && at(0) != 0) {
            m_hadBom = true;
            m_held.clear();
        }
        return;
    default:
        m_form = Form::Utf8;
        return;
    }
}

QString XmlDecoder::declare(QByteArrayView name)
{
    const QByteArray lower = name.toByteArray().toLower();
    const bool wide = m_form == Form::Utf16Le || m_form == Form::Utf16Be;
    const UpperHalf *upper = nullptr;
    if (among(lower, {"utf-8", "utf8"})) {
        if (!wide)
            return {};
    } else if (among(lower, {"utf-16", "utf-16le", "utf-16be", "iso-10646-ucs-2", "ucs-2"})) {
        if (wide)
            return {};
    } else if (among(lower, {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "latin-1", "l1", "cp819", "ibm819",
                             "iso-ir-100"})) {
        upper = &Latin1;
    } else if (among(lower, {"us-ascii", "ascii", "iso646-us"})) {
        upper = &Ascii;
    } else if (among(lower, {"windows-1252", "cp1252"})) {
        upper = &Windows1252;
    } else {
        return QStringLiteral("Unsupported encoding \"%1\".").arg(QString::fromLatin1(name));
    }
    if (!upper || wide || m_hadBom)
        return QStringLiteral("The declared encoding \"%1\" does not match the document's first bytes.")
            .arg(QString::fromLatin1(name));
    m_form = Form::SingleByte;
    m_upper = upper->data();
    return {};
}

void XmlDecoder::utf16(QByteArrayView bytes)
{
    m_out.reserve(bytes.size() + bytes.size() / 2 + 4);
    qsizetype at = 0;
    const bool big = m_form == Form::Utf16Be;
    while (at < bytes.size()) {
        if (m_held.isEmpty() && at + 1 >= bytes.size()) {
            m_held += bytes[at++];
            break;
        }
        const uchar first = m_held.isEmpty() ? uchar(bytes[at++]) : uchar(m_held[0]);
        const uchar second = uchar(bytes[at++]);
        m_held.clear();
        const char16_t unit = big ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
        if (m_high) {
            const char16_t high = std::exchange(m_high, 0);
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                put(0x10000 + ((char32_t(high) - 0xD800) << 10) + (unit - 0xDC00));
                continue;
            }
            m_out += Invalid;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            m_high = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            m_out += Invalid;
        else
            put(unit);
    }
}

void XmlDecoder::singleByte(QByteArrayView bytes)
{
    m_out.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const uchar b = uchar(byte);
        if (b < 0x80)
            m_out += byte;
        else if (const char16_t c = m_upper[b - 0x80])
            put(c);
        else
            m_out += Invalid;
    }
}

void XmlDecoder::put(char32_t c)
{
    if (c < 0x80) {
        m_out += char(c);
    } else if (c < 0x800) {
        m_out += char(0xC0 | c >> 6);
        m_out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        m_out += char(0xE0 | c >> 12);
        m_out += char(0x80 | (c >> 6 & 0x3F));
        m_out += char(0x80 | (c & 0x3F));
    } else {
        m_out += char(0xF0 | c >> 18);
        m_out += char(0x80 | (c >> 12 & 0x3F));
        m_out += char(0x80 | (c >> 6 & 0x3F));
        m_out += char(0x80 | (c & 0x3F));
    }
}
