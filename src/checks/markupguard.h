#pragma once

#include <QByteArrayView>
#include <QString>

namespace checks {

// Watches a page's markup on its way to the HTML parser and refuses a start
// tag with more attributes than the parser can take: libxml2 compares each
// attribute of a tag with all those before it, so a tag of tens of thousands
// takes minutes, after the fetch and beyond its timeout. No real page comes
// near the limit; a page that passes it could not be read (failure()).
//
// It reads tags the way the parser does where that matters: comments and the
// insides of <script> and <style> hold no tags, quoted values may hold blanks
// and '>'. Where it cannot be sure, it ends a comment or raw text early and
// counts more, never fewer: it may refuse a page the parser would have read
// in time, never let through one it would not. Any slicing of the input gives
// the same answer.
class MarkupGuard
{
public:
    static constexpr int MaxAttributes = 256;

    void restart();
    // The bytes of text within bounds: all of them, or those before the point
    // where the page went past the limit (0 once it went past before).
    qsizetype take(QByteArrayView text);
    // "" while the page is within bounds.
    const QString &failure() const { return m_failure; }

private:
    enum class State {
        Text,        // between tags
        Open,        // after '<'
        Declaration, // after "<!": a comment, or a doctype read to its '>'
        CommentDash, // after "<!-": a second '-' opens a comment
        Comment,     // inside a comment, m_dashes the '-' just before
        Skip,        // an end tag, doctype, processing instruction or bogus tag, up to '>'
        TagName,     // a start tag's name, its first bytes kept in m_name
        BeforeName,  // blanks before an attribute, or before the tag's end
        Name,        // an attribute's name
        BadName,     // what the parser passes over to the next blank: no name starts here
        AfterName,   // blanks after a name: '=' or another attribute follows
        BeforeValue, // after '='
        Quoted,      // inside a value quoted with m_quote
        Unquoted,    // inside an unquoted value
        RawText,     // inside <script> or <style>, until "</" and a letter
        RawOpen,     // after '<' in raw text
        RawSlash,    // after "</" in raw text
    };

    // What follows '>' in a start tag: raw text after <script> or <style>, unless it closed itself.
    State afterStartTag(char previous) const;
    // One more attribute in the tag under way; false past the limit.
    bool count();

    State m_state = State::Text;
    int m_attributes = 0;
    int m_dashes = 0;
    char m_quote = 0;
    char m_previous = 0;
    char m_name[7] = {};
    int m_nameSize = 0; // past sizeof m_name: a longer name, neither script nor style
    QString m_failure;
};

} // namespace checks
