#include "project/readers/xmlcdata.h"

#include <cstring>

namespace {

constexpr char Keyword[] = "[CDATA[";
constexpr char Brackets[] = "]]";

} // namespace

XmlCdata::Step XmlCdata::read(const uchar **at, const uchar *end, QByteArrayView *text)
{
    const uchar *&p = *at;
    while (p < end) {
        const uchar c = *p;
        switch (m_state) {
        case State::Keyword:
            if (char(c) != Keyword[m_matched]) {
                m_fault = QStringLiteral("Unexpected character after \"<!\".");
                return Step::Fault;
            }
            if (++m_matched == int(sizeof Keyword) - 1)
                m_state = State::Content;
            ++p;
            break;
        case State::Content: {
            const void *bracket = std::memchr(p, ']', size_t(end - p));
            const uchar *stopAt = bracket ? static_cast<const uchar *>(bracket) : end;
            const uchar *from = p;
            p = stopAt;
            if (bracket) {
                m_state = State::Bracket;
                ++p;
            }
            if (stopAt > from) {
                *text = QByteArrayView(from, stopAt - from);
                return Step::Text;
            }
            break;
        }
        case State::Bracket:
            if (c != ']') {
                m_state = State::Content;
                *text = QByteArrayView(Brackets, 1);
                return Step::Brackets;
            }
            m_state = State::Brackets;
            ++p;
            break;
        case State::Brackets:
            if (c == '>') {
                ++p;
                return Step::Done;
            }
            // "]]]": the first bracket is content, the last two may still close.
            if (c == ']') {
                ++p;
                *text = QByteArrayView(Brackets, 1);
                return Step::Brackets;
            }
            m_state = State::Content;
            *text = QByteArrayView(Brackets, 2);
            return Step::Brackets;
        }
    }
    return Step::More;
}
