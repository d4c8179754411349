#pragma once

#include <QByteArrayView>
#include <QString>

// Reads a CDATA section after its "<![", fed bytes in slices of any size: the
// rest of the "[CDATA[" keyword, then the content up to "]]>". The content is
// handed out in pieces as it comes, never held: a ']' that does not close the
// section is content too, handed out once the next byte shows it.
class XmlCdata
{
public:
    enum class Step {
        More,     // every byte given was read; the section goes on
        Text,     // *text is a piece of the content, in the input (line ends as they are there)
        Brackets, // *text is "]" or "]]" that turned out to be content
        Done,     // "]]>" ended the section before *at
        Fault,    // it is broken at *at: fault() says how
    };

    // After "<![": the keyword's '[' is read.
    void begin()
    {
        m_state = State::Keyword;
        m_matched = 1;
    }

    // Reads from *at up to end and moves *at past what it read; after a piece
    // of text, read on from there.
    Step read(const uchar **at, const uchar *end, QByteArrayView *text);
    QString fault() const { return m_fault; }

private:
    enum class State : quint8 {
        Keyword,  // inside "<![CDATA[", m_matched bytes of "[CDATA[" matched
        Content,  // inside the section
        Bracket,  // the content's ']'
        Brackets, // the content's "]]": '>' closes the section
    };

    State m_state = State::Keyword;
    int m_matched = 0;
    QString m_fault;
};
