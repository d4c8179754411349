#include "project/xmltokenscanner.h"

#include <cstring>

namespace {

constexpr char CdataOpening[] = "[CDATA[";
constexpr int CdataOpeningLength = sizeof CdataOpening - 1;

} // namespace

bool XmlTokenScanner::outside() const
{
    switch (m_state) {
    case State::Comment:
    case State::CommentDash:
    case State::CommentDashes:
    case State::Pi:
    case State::PiQuestion:
    case State::Cdata:
    case State::CdataBracket:
    case State::CdataBrackets:
        return false;
    default:
        return true;
    }
}

qsizetype XmlTokenScanner::scan(QByteArrayView bytes, qsizetype from, qsizetype to, bool stopWhenOutside)
{
    qsizetype at = from;
    if (m_state == State::Sniff) {
        if (to - at < 4)
            return at;
        sniff(bytes.sliced(at, 4));
        m_state = State::Text;
    }
    while (at + m_width <= to) {
        if (stopWhenOutside && outside())
            return at;
        at = skipPlain(bytes, at, to);
        if (at + m_width > to)
            break;
        step(unitAt(bytes.data() + at));
        at += m_width;
    }
    return at;
}

// The byte order mark, or the bytes "<?" stands in, tell the width of a character.
void XmlTokenScanner::sniff(QByteArrayView first)
{
    const auto b = [&first](int i) { return uchar(first[i]); };
    if ((b(0) == 0xFF && b(1) == 0xFE && b(2) == 0 && b(3) == 0) ||
        (b(0) == '<' && b(1) == 0 && b(2) == 0 && b(3) == 0)) {
        m_width = 4;
    } else if ((b(0) == 0 && b(1) == 0 && b(2) == 0xFE && b(3) == 0xFF) ||
               (b(0) == 0 && b(1) == 0 && b(2) == 0 && b(3) == '<')) {
        m_width = 4;
        m_bigEndian = true;
    } else if ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == '<' && b(1) == 0)) {
        m_width = 2;
    } else if ((b(0) == 0xFE && b(1) == 0xFF) || (b(0) == 0 && b(1) == '<')) {
        m_width = 2;
        m_bigEndian = true;
    }
}

char32_t XmlTokenScanner::unitAt(const char *at) const
{
    char32_t unit = 0;
    for (int i = 0; i < m_width; ++i)
        unit |= char32_t(uchar(at[m_bigEndian ? m_width - 1 - i : i])) << (8 * i);
    return unit;
}

// Jumps over the bytes the state ignores; a byte-wide encoding only, where the
// run of a long token is found by memchr.
qsizetype XmlTokenScanner::skipPlain(QByteArrayView bytes, qsizetype at, qsizetype to) const
{
    if (m_width != 1)
        return at;
    char wanted = 0;
    switch (m_state) {
    case State::Text:
        wanted = '<';
        break;
    case State::Comment:
        wanted = '-';
        break;
    case State::Pi:
        wanted = '?';
        break;
    case State::Cdata:
        wanted = ']';
        break;
    case State::Quoted:
        wanted = char(m_quote);
        break;
    default:
        return at;
    }
    const void *found = std::memchr(bytes.data() + at, wanted, size_t(to - at));
    return found ? static_cast<const char *>(found) - bytes.data() : to;
}

void XmlTokenScanner::step(char32_t c)
{
    const State base = m_inSubset ? State::Subset : State::Text;
    switch (m_state) {
    case State::Sniff:
    case State::Text:
        if (c == '<')
            m_state = State::Open;
        break;
    case State::Subset:
        if (c == '<') {
            m_state = State::Open;
        } else if (c == ']') {
            m_inSubset = false;
            m_state = State::Markup;
        }
        break;
    case State::Open:
        m_declaration = c == '!';
        m_state = c == '!' ? State::Bang : c == '?' ? State::Pi : c == '>' ? base : State::Markup;
        break;
    case State::Bang:
        m_matched = 1;
        m_state = c == '-' ? State::BangDash : c == '[' ? State::CdataOpen : State::Markup;
        if (m_state == State::Markup)
            step(c);
        break;
    case State::BangDash:
        m_state = c == '-' ? State::Comment : State::Markup;
        if (m_state == State::Markup)
            step(c);
        break;
    case State::CdataOpen:
        if (c == char32_t(CdataOpening[m_matched])) {
            if (++m_matched == CdataOpeningLength)
                m_state = State::Cdata;
        } else {
            m_state = State::Markup;
            step(c);
        }
        break;
    case State::Comment:
        if (c == '-')
            m_state = State::CommentDash;
        break;
    case State::CommentDash:
        m_state = c == '-' ? State::CommentDashes : State::Comment;
        break;
    case State::CommentDashes:
        if (c == '>')
            m_state = base;
        else if (c != '-')
            m_state = State::Comment;
        break;
    case State::Pi:
        if (c == '?')
            m_state = State::PiQuestion;
        break;
    case State::PiQuestion:
        if (c == '>')
            m_state = base;
        else if (c != '?')
            m_state = State::Pi;
        break;
    case State::Cdata:
        if (c == ']')
            m_state = State::CdataBracket;
        break;
    case State::CdataBracket:
        m_state = c == ']' ? State::CdataBrackets : State::Cdata;
        break;
    case State::CdataBrackets:
        if (c == '>')
            m_state = base;
        else if (c != ']')
            m_state = State::Cdata;
        break;
    case State::Markup:
        if (c == '"' || c == '\'') {
            m_quote = c;
            m_state = State::Quoted;
        } else if (c == '>') {
            m_state = base;
        } else if (c == '[' && m_declaration && !m_inSubset) {
            // <!DOCTYPE name [: the internal subset holds declarations, comments
            // and processing instructions of its own, up to ']'.
            m_inSubset = true;
            m_state = State::Subset;
        }
        break;
    case State::Quoted:
        if (c == m_quote)
            m_state = State::Markup;
        break;
    }
}
