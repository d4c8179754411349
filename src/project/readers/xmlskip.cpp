#include "project/readers/xmlskip.h"

#include "project/readers/xmlbytes.h"


using XmlBytes::skipPast;

XmlSkip::Step XmlSkip::read(const uchar **at, const uchar *end)
{
    const uchar *&p = *at;
    while (p < end) {
        const uchar c = *p;
        switch (m_state) {
        case State::CommentOpen:
            if (c != '-')
                return fail(QStringLiteral("Expected '-' to open a comment."));
            m_state = State::Comment;
            ++p;
            break;
        case State::Comment:
            if (skipPast(p, end, '-'))
                m_state = State::CommentDash;
            break;
        case State::CommentDash:
            m_state = c == '-' ? State::CommentDashes : State::Comment;
            ++p;
            break;
        case State::CommentDashes:
            if (c != '>')
                return fail(QStringLiteral("\"--\" is not allowed inside a comment."));
            ++p;
            return Step::Done;
        case State::Pi:
            if (skipPast(p, end, '?'))
                m_state = State::PiQuestion;
            break;
        case State::PiQuestion:
            ++p;
            if (c == '>')
                return Step::Done;
            if (c != '?')
                m_state = State::Pi;
            break;
        }
    }
    return Step::More;
}

XmlSkip::Step XmlSkip::fail(const QString &message)
{
    m_fault = message;
    return Step::Fault;
}
