#pragma once

#include <QtGlobal>

// Checks UTF-8 fed in pieces of any size (a character may span two) for what
// an XML document may hold: well-formed, shortest-form sequences of code
// points that are not surrogates, and no character XML excludes (controls
// other than tab, LF and CR; U+FFFE and U+FFFF).
class Utf8Check
{
public:
    enum class Fault {
        None,
        Encoding,  // bytes that are no UTF-8
        Character, // a character XML does not allow
    };

    // The length of the longest prefix of bytes[0, size) free of faults; when
    // shorter than size, *fault tells the fault at that byte.
    qsizetype check(const uchar *bytes, qsizetype size, Fault *fault);
    // A character is begun and not complete.
    bool midCharacter() const { return m_need > 0; }
    // Forgets a character begun: the bytes checked past the last complete one are read again otherwise.
    void reset()
    {
        m_need = 0;
        m_low = 0x80;
        m_high = 0xBF;
        m_efbf = false;
    }

private:
    int m_need = 0;     // continuation bytes still to come
    uchar m_low = 0x80; // the range of the next continuation byte
    uchar m_high = 0xBF;
    bool m_efbf = false; // the character so far is EF BF: BE or BF would make U+FFFE or U+FFFF
};
