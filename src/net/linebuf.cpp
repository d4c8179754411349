#include "net/linebuf.h"

#include <cstring>

void LineBuffer::reset()
{
    m_start = 0;
    m_lenData = 0;
    m_splitLines = true;
    m_consumed = 0;
}

char *LineBuffer::freeSpace()
{
    if (m_start > 0) {
        if (m_lenData > 0)
            std::memmove(m_lpBuffer, m_lpBuffer + m_start, static_cast<size_t>(m_lenData));
        m_start = 0;
    }
    return freeSize() > 0 ? m_lpBuffer + m_lenData : nullptr;
}

void LineBuffer::commit(int n)
{
    Q_ASSERT(n >= 0 && n <= freeSize());
    m_lenData += n;
}

bool LineBuffer::takeLine(const char **data, int *len)
{
    const char *begin = m_lpBuffer + m_start;
    for (int i = 0; i + 1 < m_lenData; ++i) {
        const void *cr = std::memchr(begin + i, '\r', static_cast<size_t>(m_lenData - 1 - i));
        if (cr == nullptr)
            return false;
        i = static_cast<int>(static_cast<const char *>(cr) - begin);
        if (begin[i + 1] == '\n') {
            *data = begin;
            *len = i;
            m_start += i + 2;
            m_lenData -= i + 2;
            m_consumed += i + 2;
            return true;
        }
    }
    return false;
}

void LineBuffer::takeAll(const char **data, int *len)
{
    *data = m_lpBuffer + m_start;
    *len = m_lenData;
    m_consumed += m_lenData;
    m_start = 0;
    m_lenData = 0;
}

bool LineBuffer::nextPiece(const char **data, int *len)
{
    if (m_lenData == 0)
        return false;
    if (!m_splitLines) {
        takeAll(data, len);
        return true;
    }
    if (takeLine(data, len))
        return true;
    if (m_lenData == m_lenBuffer) {
        takeAll(data, len);
        return true;
    }
    return false;
}

bool LineBuffer::nextPieceAtEnd(const char **data, int *len)
{
    if (nextPiece(data, len))
        return true;
    if (m_lenData == 0)
        return false;
    takeAll(data, len);
    return true;
}
