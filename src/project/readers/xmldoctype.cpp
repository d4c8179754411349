#include "project/readers/xmldoctype.h"

#include "project/readers/xmlbytes.h"


namespace {

using XmlBytes::isBlank;
using XmlBytes::skipPast;

constexpr char Keyword[] = "DOCTYPE";

bool inName(uchar c)
{
    return c >= 0x80 || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.';
}

} // namespace

XmlDoctype::Step XmlDoctype::read(const uchar **at, const uchar *end)
{
    const uchar *&p = *at;
    while (p < end) {
        const uchar c = *p;
        switch (m_state) {
        case State::Keyword:
            if (m_matched == int(sizeof Keyword) - 1) {
                if (!isBlank(c))
                    return fail(QStringLiteral("Invalid DOCTYPE."));
                m_state = State::Outside;
            } else if (char(c) == Keyword[m_matched]) {
                ++m_matched;
            } else {
                return fail(QStringLiteral("Invalid DOCTYPE."));
            }
            ++p;
            break;
        case State::Outside:
            if (c == '<')
                return fail(QStringLiteral("Unexpected '<' in the DOCTYPE."));
            ++p;
            if (c == '>')
                return Step::Done;
            if (c == '"' || c == '\'') {
                m_quote = char(c);
                m_state = State::Quoted;
            } else if (c == '[') {
                m_state = State::Subset;
            }
            break;
        case State::Quoted:
        case State::DeclQuoted:
            if (skipPast(p, end, m_quote))
                m_state = m_state == State::Quoted ? State::Outside : State::Declaration;
            break;
        case State::Subset:
            if (c == '<')
                m_state = State::Open;
            else if (c == ']')
                m_state = State::End;
            else if (!isBlank(c) && c != '%' && c != ';' && !inName(c)) // parameter entity references stand here
                return fail(QStringLiteral("Unexpected character in the DOCTYPE."));
            ++p;
            break;
        case State::Open:
            if (c == '!') {
                m_state = State::Bang;
            } else if (c == '?') {
                m_skip.beginPi(false);
                m_state = State::Skipped;
            } else {
                return fail(QStringLiteral("Unexpected character in the DOCTYPE."));
            }
            ++p;
            break;
        case State::Bang:
            if (c == '-') {
                m_skip.beginComment();
                m_state = State::Skipped;
            } else if (c >= 'A' && c <= 'Z') {
                m_keyword[0] = char(c);
                m_keywordLength = 1;
                m_state = State::DeclKeyword;
            } else {
                return fail(QStringLiteral("Unexpected character in the DOCTYPE."));
            }
            ++p;
            break;
        case State::Skipped:
            switch (m_skip.read(&p, end)) {
            case XmlSkip::Step::More:
                break;
            case XmlSkip::Step::Done:
                m_state = State::Subset;
                break;
            case XmlSkip::Step::Fault:
                return fail(m_skip.fault());
            }
            break;
        case State::DeclKeyword:
            if (c >= 'A' && c <= 'Z') {
                if (m_keywordLength < int(sizeof m_keyword))
                    m_keyword[m_keywordLength++] = char(c);
                ++p;
                break;
            }
            if (m_keywordLength == 6 && std::memcmp(m_keyword, "ENTITY", 6) == 0)
                return fail(QStringLiteral("The DOCTYPE declares entities; a sitemap needs none."));
            m_state = State::Declaration;
            break;
        case State::Declaration:
            if (c == '<')
                return fail(QStringLiteral("Unexpected '<' in the DOCTYPE."));
            if (c == '"' || c == '\'') {
                m_quote = char(c);
                m_state = State::DeclQuoted;
            } else if (c == '>') {
                m_state = State::Subset;
            }
            ++p;
            break;
        case State::End:
            if (!isBlank(c) && c != '>')
                return fail(QStringLiteral("Expected '>' after the DOCTYPE's internal subset."));
            ++p;
            if (c == '>')
                return Step::Done;
            break;
        }
    }
    return Step::More;
}

XmlDoctype::Step XmlDoctype::fail(const QString &message)
{
    m_fault = message;
    return Step::Fault;
}
