#include "project/readers/xmlplace.h"

#include <cstring>

void XmlPlace::begin(const uchar *begin, const uchar *end)
{
    m_at = begin;
    m_mark = nullptr;
    m_hasCr = std::memchr(begin, '\r', size_t(end - begin)) != nullptr;
}

void XmlPlace::advance(const uchar *to)
{
    if (to <= m_at)
        return;
    const uchar *at = m_at;
    if (!m_hasCr) {
        // Lines by LF alone, at memchr's pace; characters counted only after the last one.
        const uchar *lineStart = nullptr;
        while (const void *lf = std::memchr(at, '\n', size_t(to - at))) {
            if (!(m_afterCr && lf == m_at))
                ++m_line;
            at = static_cast<const uchar *>(lf) + 1;
            lineStart = at;
        }
        if (lineStart)
            m_column = 0;
        qint64 characters = 0;
        for (const uchar *c = lineStart ? lineStart : m_at; c < to; ++c)
            characters += (*c & 0xC0) != 0x80;
        m_column += characters;
        m_afterCr = false;
        m_at = to;
        return;
    }
    while (at < to) {
        const uchar *end = at;
        qint64 characters = 0;
        while (end < to && *end != '\n' && *end != '\r')
            characters += (*end++ & 0xC0) != 0x80; // continuation bytes add no character
        if (end > at) {
            m_column += characters;
            m_afterCr = false;
        }
        if (end == to)
            break;
        if (*end == '\r' || !m_afterCr)
            ++m_line;
        m_afterCr = *end == '\r';
        m_column = 0;
        at = end + 1;
    }
    m_at = to;
}

void XmlPlace::settle()
{
    if (!m_mark)
        return;
    advance(m_mark);
    m_markLine = m_line;
    m_markColumn = m_column + 1;
    m_mark = nullptr;
}
