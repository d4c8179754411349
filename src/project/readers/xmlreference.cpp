#include "project/readers/xmlreference.h"

namespace {

bool isLetter(uchar c)
{
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || c == ':';
}

// A byte of a name after its first; bytes of other characters are let through,
// as no name with them is predefined.
bool inName(uchar c)
{
    return c >= 0x80 || isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isXmlChar(char32_t c)
{
    return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

int digitOf(uchar c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

char32_t predefined(const QByteArray &name)
{
    if (name == "amp")
        return '&';
    if (name == "lt")
        return '<';
    if (name == "gt")
        return '>';
    if (name == "quot")
        return '"';
    if (name == "apos")
        return '\'';
    return 0;
}

} // namespace

XmlReference::Step XmlReference::take(uchar c)
{
    switch (m_state) {
    case State::Start:
        if (c == '#') {
            m_state = State::Number;
            return Step::More;
        }
        if (!isLetter(c) && c < 0x80)
            return fail(QStringLiteral("Expected an entity name or '#' after '&'."), false);
        m_state = State::Name;
        m_name = QByteArray(1, char(c));
        m_nameLength = 1;
        return Step::More;
    case State::Name:
        if (c == ';') {
            m_value = m_nameLength <= MaxName ? predefined(m_name) : 0;
            if (m_value)
                return Step::Done;
            return fail(QStringLiteral("Undeclared entity \"%1%2\".")
                            .arg(QString::fromUtf8(m_name), m_nameLength > MaxName ? QStringLiteral("...") : QString()),
                        true);
        }
        if (!inName(c))
            return fail(QStringLiteral("Expected ';' after an entity name."), false);
        if (m_name.size() < MaxName)
            m_name += char(c);
        ++m_nameLength;
        return Step::More;
    case State::Number:
        if (c == 'x') {
            m_state = State::HexFirst;
            return Step::More;
        }
        m_state = State::Decimal;
        [[fallthrough]];
    case State::HexFirst:
    case State::Hex:
    case State::Decimal: {
        const bool hex = m_state != State::Decimal;
        if (const int digit = digitOf(c, hex); digit >= 0) {
            // Past the last code point the value stays invalid without overflowing.
            m_value = std::min<char32_t>(m_value * (hex ? 16 : 10) + char32_t(digit), 0x110000);
            if (m_state == State::HexFirst)
                m_state = State::Hex;
            return Step::More;
        }
        if (c == ';' && m_state != State::HexFirst && isXmlChar(m_value) && m_value)
            return Step::Done;
        return fail(QStringLiteral("Invalid character reference."), true);
    }
    }
    return Step::More;
}

XmlReference::Step XmlReference::fail(const QString &message, bool whole)
{
    m_fault = message;
    m_faultsWhole = whole;
    return Step::Fault;
}

QByteArrayView XmlReference::utf8()
{
    const char32_t c = m_value;
    char *out = m_utf8;
    if (c < 0x80) {
        out[0] = char(c);
        return {out, 1};
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | c >> 6);
        out[1] = char(0x80 | (c & 0x3F));
        return {out, 2};
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | c >> 12);
        out[1] = char(0x80 | (c >> 6 & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return {out, 3};
    }
    out[0] = char(0xF0 | c >> 18);
    out[1] = char(0x80 | (c >> 12 & 0x3F));
    out[2] = char(0x80 | (c >> 6 & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return {out, 4};
}
