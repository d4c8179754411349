#pragma once

#include <QtGlobal>
#include <array>

// The characters of XML names. The ASCII ones are judged by table, as the
// scanner's inner loops need; a character of several UTF-8 bytes is taken a
// byte at a time by XmlNameChar and judged at its last byte.
namespace XmlName {

constexpr std::array<bool, 256> asciiTable(bool digits)
{
    std::array<bool, 256> table{};
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = table[c - 'a' + 'A'] = true;
    table['_'] = table[':'] = true;
    if (digits) {
        for (int c = '0'; c <= '9'; ++c)
            table[c] = true;
        table['-'] = table['.'] = true;
    }
    return table;
}
// ASCII bytes that may begin a name, and those that may stand in one.
inline constexpr std::array<bool, 256> StartByte = asciiTable(false);
inline constexpr std::array<bool, 256> Byte = asciiTable(true);

bool isStartCode(char32_t c);
bool isCode(char32_t c);

} // namespace XmlName

// One byte of a name after another, the input being valid UTF-8.
class XmlNameChar
{
public:
    // Takes one byte of a name; false when it cannot be part of one. first: the
    // byte (a lead byte, for a character of several) begins the name.
    bool take(uchar b, bool first)
    {
        if (b < 0x80)
            return first ? XmlName::StartByte[b] : XmlName::Byte[b];
        return takeWide(b, first);
    }

private:
    bool takeWide(uchar b, bool first);

    char32_t m_codePoint = 0; // the character being read
    int m_codeBytes = 0;      // its bytes to come
    bool m_codeFirst = false; // it begins the name
};
