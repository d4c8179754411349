#include "project/readers/xmlname.h"

bool XmlName::isStartCode(char32_t c)
{
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool XmlName::isCode(char32_t c)
{
    return isStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool XmlNameChar::takeWide(uchar b, bool first)
{
    if (b >= 0xC0) {
        m_codeFirst = first;
        m_codeBytes = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        m_codePoint = b & (b >= 0xF0 ? 0x07 : b >= 0xE0 ? 0x0F : 0x1F);
        return true;
    }
    m_codePoint = m_codePoint << 6 | (b & 0x3F);
    if (--m_codeBytes > 0)
        return true;
    return m_codeFirst ? XmlName::isStartCode(m_codePoint) : XmlName::isCode(m_codePoint);
}
