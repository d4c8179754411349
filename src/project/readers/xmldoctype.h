#pragma once

#include "project/readers/xmlskip.h"

#include <QString>

// Skips one DOCTYPE declaration of an XML document, from just after its
// "<!D" to its closing '>', fed bytes in slices of any size: its literals,
// and an internal subset with its declarations, literals, comments and
// processing instructions, so that no '>' or ']' inside any of them ends it.
//
// The subset's declarations are not interpreted. One that declares an entity
// is refused: no entity but the five predefined ones is ever expanded, which
// rules out expansion bombs, and a sitemap has no use for one.
class XmlDoctype
{
public:
    enum class Step {
        More,  // every byte given was read; the DOCTYPE goes on
        Done,  // the DOCTYPE ended at the '>' before *at
        Fault, // the DOCTYPE is broken at *at: fault() says how
    };

    // Reads from *at up to end and moves *at past what it read.
    Step read(const uchar **at, const uchar *end);
    QString fault() const { return m_fault; }

private:
    enum class State : quint8 {
        Keyword,     // inside "DOCTYPE", m_matched bytes of it matched; a blank follows
        Outside,     // outside literals and the internal subset: '>' ends the DOCTYPE
        Quoted,      // inside a literal outside the subset, up to m_quote
        Subset,      // in the internal subset between declarations: ']' ends it
        Open,        // after '<' in the subset
        Bang,        // after "<!" in the subset: a comment or a declaration
        Skipped,     // inside a comment or processing instruction of the subset, read by m_skip
        DeclKeyword, // inside a declaration's keyword, m_keyword bytes of it held
        Declaration, // inside a markup declaration, outside literals: '>' ends it
        DeclQuoted,  // inside a literal of a markup declaration, up to m_quote
        End,         // after the subset's ']': blanks, then '>'
    };

    Step fail(const QString &message);

    State m_state = State::Keyword;
    int m_matched = 1; // the 'D' was read by whoever saw "<!D"
    char m_quote = 0;
    char m_keyword[8] = {};
    int m_keywordLength = 0;
    XmlSkip m_skip;
    QString m_fault;
};
