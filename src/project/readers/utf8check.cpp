#include "project/readers/utf8check.h"

#include <cstring>

qsizetype Utf8Check::check(const uchar *bytes, qsizetype size, Fault *fault)
{
    constexpr quint64 High = 0x8080808080808080ull;
    constexpr quint64 Blank = 0x2020202020202020ull;
    qsizetype at = 0;
    while (at < size) {
        if (m_need > 0) {
            const uchar c = bytes[at];
            if (c < m_low || c > m_high) {
                *fault = Fault::Encoding;
                return at;
            }
            if (m_need == 1 && m_efbf && c >= 0xBE) {
                *fault = Fault::Character;
                return at;
            }
            m_efbf = m_need == 2 && m_efbf && c == 0xBF;
            m_low = 0x80;
            m_high = 0xBF;
            --m_need;
            ++at;
            continue;
        }
        // Eight ASCII bytes at a time, none of them below 0x20.
        while (at + 8 <= size) {
            quint64 word;
            std::memcpy(&word, bytes + at, 8);
            if ((word & High) || ((word - Blank) & ~word & High))
                break;
            at += 8;
        }
        if (at == size)
            break;
        const uchar c = bytes[at];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                *fault = Fault::Character;
                return at;
            }
            ++at;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            m_need = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            m_need = 2;
            m_low = c == 0xE0 ? 0xA0 : 0x80;  // no overlong form
            m_high = c == 0xED ? 0x9F : 0xBF; // no surrogate
            m_efbf = c == 0xEF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            m_need = 3;
            m_low = c == 0xF0 ? 0x90 : 0x80;  // no overlong form
            m_high = c == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        } else {
            *fault = Fault::Encoding;
            return at;
        }
        ++at;
    }
    *fault = Fault::None;
    return size;
}
