#include "checks/markupguard.h"

#include "checks/htmlchars.h"

#include <cstring>

namespace checks {

namespace {

// The bytes the parser starts and continues an element's or attribute's name with.
bool startsName(char c)
{
    return isAsciiLetter(c) || c == '_' || c == ':' || c == '.';
}

bool inName(char c)
{
    return startsName(c) || (c >= '0' && c <= '9') || c == '-';
}

} // namespace

void MarkupGuard::restart()
{
    m_state = State::Text;
    m_attributes = 0;
    m_dashes = 0;
    m_quote = 0;
    m_previous = 0;
    m_nameSize = 0;
    m_failure.clear();
}

bool MarkupGuard::count()
{
    if (++m_attributes <= MaxAttributes)
        return true;
    m_failure = QStringLiteral("cannot read the page: a tag with more than %1 attributes").arg(MaxAttributes);
    return false;
}

MarkupGuard::State MarkupGuard::afterStartTag(char previous) const
{
    if (previous == '/' || m_nameSize > int(sizeof m_name))
        return State::Text;
    const QByteArrayView name(m_name, m_nameSize);
    return name == "script" || name == "style" ? State::RawText : State::Text;
}

qsizetype MarkupGuard::take(QByteArrayView text)
{
    if (!m_failure.isEmpty())
        return 0;
    const char *at = text.data();
    const char *const end = at + text.size();
    State state = m_state;
    char previous = m_previous;
    for (; at < end; previous = *at++) {
        const char c = *at;
        switch (state) {
        case State::Text: {
            // Text is most of a page: the next '<' is looked for, not walked to.
            const void *open = std::memchr(at, '<', size_t(end - at));
            if (open == nullptr) {
                at = end - 1;
                break;
            }
            at = static_cast<const char *>(open);
            state = State::Open;
            break;
        }
        case State::Open:
            if (c == '!') {
                state = State::Declaration;
            } else if (c == '/' || c == '?') {
                state = State::Skip;
                m_attributes = 0;
            } else if (startsName(c)) {
                state = State::TagName;
                m_attributes = 0;
                m_nameSize = 0;
                m_name[m_nameSize++] = char(c | 0x20);
            } else if (c != '<') {
                state = State::Text;
            }
            break;
        case State::Declaration:
            m_attributes = 0;
            state = c == '-' ? State::CommentDash : c == '>' ? State::Text : State::Skip;
            break;
        case State::CommentDash:
            // "<!-->" ends where it starts: a comment is ended as early as the parser might end it.
            m_dashes = 2;
            state = c == '-' ? State::Comment : c == '>' ? State::Text : State::Skip;
            break;
        case State::Comment:
            if (c == '>' && m_dashes >= 2)
                state = State::Text;
            else if (c == '\0')
                state = State::Text; // the parser stops a comment at a NUL
            else if (c == '-')
                m_dashes = qMin(m_dashes + 1, 2);
            else if (c != '!')
                m_dashes = 0;
            break;
        case State::Skip:
            // Its words are counted too: the parser may read a bogus tag's as attributes.
            if (c == '>' || c == '\0')
                state = State::Text;
            else if (!isHtmlBlank(c) && isHtmlBlank(previous) && !count())
                return m_state = state, at - text.data();
            break;
        case State::TagName:
            if (inName(c)) {
                if (m_nameSize < int(sizeof m_name))
                    m_name[m_nameSize] = char(isAsciiLetter(c) ? c | 0x20 : c);
                m_nameSize = qMin(m_nameSize + 1, int(sizeof m_name) + 1);
            } else if (isHtmlBlank(c)) {
                state = State::BeforeName;
            } else if (c == '>') {
                state = afterStartTag(previous);
            } else {
                state = State::BadName;
            }
            break;
        case State::BeforeName:
        case State::AfterName:
            if (isHtmlBlank(c))
                break;
            if (c == '>')
                state = afterStartTag(previous);
            else if (c == '=' && state == State::AfterName)
                state = State::BeforeValue;
            else if (!startsName(c))
                state = State::BadName;
            else if (count())
                state = State::Name;
            else
                return m_state = state, at - text.data();
            break;
        case State::Name:
            if (isHtmlBlank(c))
                state = State::AfterName;
            else if (c == '=')
                state = State::BeforeValue;
            else if (c == '>')
                state = afterStartTag(previous);
            else if (!inName(c))
                state = State::BadName;
            break;
        case State::BadName:
            if (isHtmlBlank(c))
                state = State::BeforeName;
            else if (c == '>')
                state = afterStartTag(previous);
            break;
        case State::BeforeValue:
            if (c == '"' || c == '\'') {
                m_quote = c;
                state = State::Quoted;
            } else if (c == '>') {
                state = afterStartTag(previous);
            } else if (!isHtmlBlank(c)) {
                state = State::Unquoted;
            }
            break;
        case State::Quoted:
            if (c == m_quote || c == '\0')
                state = State::BeforeName;
            break;
        case State::Unquoted:
            if (isHtmlBlank(c) || c == '\0')
                state = State::BeforeName;
            else if (c == '>')
                state = afterStartTag(previous);
            break;
        case State::RawText:
            if (c == '<')
                state = State::RawOpen;
            else if (c == '\0')
                state = State::Text;
            break;
        case State::RawOpen:
        case State::RawSlash:
            // Raw text ends at "</" and any letter: at the earliest the parser could end it.
            if (c == '/' && state == State::RawOpen)
                state = State::RawSlash;
            else if (isAsciiLetter(c) && state == State::RawSlash)
                state = State::Skip, m_attributes = 0;
            else if (c == '\0')
                state = State::Text;
            else if (c != '<')
                state = State::RawText;
            else
                state = State::RawOpen;
            break;
        }
    }
    m_state = state;
    m_previous = previous;
    return text.size();
}

} // namespace checks
