#include "net/proxyanswer.h"

int ProxyAnswerParser::feed(const char *data, int len)
{
    int taken = 0;
    while (taken < len && m_state != State::Done) {
        const char c = data[taken++];
        switch (m_state) {
        case State::StatusLine:
            if (c == '\n') {
                if (m_statusLine.endsWith('\r'))
                    m_statusLine.chop(1);
                m_statusLine.truncate(maxStatusLine);
                m_state = State::HeaderLine;
                m_lineBytes = 0;
            } else if (m_statusLine.size() < maxStatusLine + 1) {
                // One byte more than kept, so a CR at the limit can still be dropped.
                m_statusLine += c;
            }
            break;
        case State::HeaderLine:
            if (c == '\n') {
                if (m_lineBytes == 0)
                    m_state = State::Done;
                m_lineBytes = 0;
            } else if (c != '\r') {
                ++m_lineBytes;
            }
            break;
        case State::Done:
            break;
        }
    }
    m_consumed += taken;
    return taken;
}

int ProxyAnswerParser::statusCode() const
{
    if (!m_statusLine.startsWith("HTTP/"))
        return 0;
    const qsizetype blank = m_statusLine.indexOf(' ');
    if (blank < 0 || m_statusLine.size() < blank + 4)
        return 0;
    int code = 0;
    for (qsizetype i = blank + 1; i < blank + 4; ++i) {
        const char c = m_statusLine.at(i);
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    if (m_statusLine.size() > blank + 4 && m_statusLine.at(blank + 4) != ' ')
        return 0;
    return code;
}
