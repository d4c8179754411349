#pragma once

#include <QByteArrayView>

// Follows XML bytes far enough to tell whether a position lies inside a
// comment, a processing instruction or a CDATA section, fed in slices of any
// size.
//
// QXmlStreamReader scans such a token again from its start each time it is
// given more data while the token is open, so a long one given in blocks costs
// the square of its length. SitemapReader therefore cuts what it gives the XML
// parser only where this scanner says no such token is open.
//
// It reads characters one or several bytes wide (UTF-16 and UTF-32, told by
// their first bytes, of either byte order); only ASCII characters matter, so
// every ASCII-compatible encoding is read correctly. It never judges
// well-formedness: where it misreads hostile or odd input, the parser is merely
// given larger blocks, and the outcome stays the parser's.
class XmlTokenScanner
{
public:
    // Scans bytes[from, to), where bytes holds every byte not scanned yet from
    // `from` on, and returns where it stopped: `to`, or less when the last
    // character is incomplete, or, with stopWhenOutside, the first position at
    // or after `from` where no comment, processing instruction or CDATA section
    // is open. `from` is a position returned by the previous call (or 0),
    // rebased when the caller drops the bytes before it.
    qsizetype scan(QByteArrayView bytes, qsizetype from, qsizetype to, bool stopWhenOutside);
    // No comment, processing instruction or CDATA section is open.
    bool outside() const;

private:
    enum class State {
        Sniff,         // fewer than four bytes seen: the width of a character is not known
        Text,          // character data, or the prolog and epilog between markup
        Subset,        // between the declarations of a DOCTYPE's internal subset: ']' ends it
        Open,          // after '<'
        Bang,          // after "<!"
        BangDash,      // after "<!-": a further '-' opens a comment
        CdataOpen,     // inside "<![CDATA[", m_matched characters of it matched
        Comment,       // inside a comment
        CommentDash,   // a comment's '-'
        CommentDashes, // a comment's "--": '>' closes it
        Pi,            // inside a processing instruction
        PiQuestion,    // a processing instruction's '?': '>' closes it
        Cdata,         // inside a CDATA section
        CdataBracket,  // a CDATA section's ']'
        CdataBrackets, // a CDATA section's "]]": '>' closes it
        Markup,        // inside a tag or declaration, outside quotes: '>' ends it
        Quoted,        // inside a quoted value of a tag or declaration, until m_quote
    };

    void sniff(QByteArrayView first);
    char32_t unitAt(const char *at) const;
    void step(char32_t c);
    qsizetype skipPlain(QByteArrayView bytes, qsizetype at, qsizetype to) const;

    State m_state = State::Sniff;
    int m_width = 1;            // bytes a character takes
    bool m_bigEndian = false;   // for widths over one
    int m_matched = 0;          // characters of "[CDATA[" matched
    char32_t m_quote = 0;       // the quote that ends a Quoted value
    bool m_declaration = false; // the Markup began with "<!"
    bool m_inSubset = false;    // inside a DOCTYPE's internal subset
};
