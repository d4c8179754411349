#pragma once

#include "project/readers/utf8check.h"
#include "project/readers/xmlcdata.h"
#include "project/readers/xmldeclaration.h"
#include "project/readers/xmldecoder.h"
#include "project/readers/xmldoctype.h"
#include "project/readers/xmlelements.h"
#include "project/readers/xmlname.h"
#include "project/readers/xmlplace.h"
#include "project/readers/xmlreference.h"
#include "project/readers/xmlskip.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reads one XML document fed its bytes in slices of any size, checks that it
// is well-formed, and reports its elements and the text its handler asks for.
// Where the slices split never changes what is reported or where it fails.
//
// Each byte is looked at a fixed number of times and never again once passed:
// the time grows with the input's length whatever the shape of its tokens.
// What is held is bounded whatever the input: the open elements and the
// current tag (names of at most MaxNameBytes; see XmlElements), the XML
// declaration; never the content of comments, processing instructions,
// CDATA sections or text, which go to the handler only while it keeps text.
//
// Namespaces: an element is reported in the namespace given to the constructor
// (Space::Known), in none, or in another; prefixes bind through xmlns:p
// attributes, scoped to the element that declares them. A DOCTYPE is skipped,
// internal subset included, but one that declares entities is refused: no
// entity but the five predefined ones is ever expanded.
class XmlScanner
{
public:
    using Space = XmlSpace;

    // Receives what the document holds, in document order. A handler may call
    // setKeepText() from any of these.
    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void startElement(Space space, QByteArrayView localName, QByteArrayView qualifiedName) = 0;
        virtual void endElement() = 0;
        // A piece of character data (entities and references decoded, line ends
        // made LF), in UTF-8; only while text is kept.
        virtual void text(QByteArrayView utf8) = 0;
    };

    static constexpr int MaxNameBytes = 1024;

    XmlScanner(Handler &handler, QByteArrayView knownNamespace);

    // After a failure bytes are ignored.
    void feed(QByteArrayView bytes);
    // The input ended: a document not complete by then fails.
    void finish();
    // Text inside the current element goes to Handler::text() from now on, or no longer.
    void setKeepText(bool keep) { m_keep = keep; }
    // Reads nothing more: the handler has seen enough. Not a failure.
    void halt() { m_halted = true; }

    bool failed() const { return !m_error.isEmpty(); }
    // "" unless failed; the fault's place is line() and column().
    QString error() const { return m_error; }
    qint64 line() const { return m_errorLine; }
    qint64 column() const { return m_errorColumn; }
    // Inside Handler::startElement(): the line of the tag's '<'.
    qint64 tagLine();

private:
    enum class State : quint8 {
        Start,       // nothing read: an XML declaration may open the document
        Text,        // character data, or blanks outside the root element
        Reference,   // after '&', read by m_reference
        Open,        // after '<'
        StartName,   // inside a start tag's name
        Tag,         // inside a start tag, after its name or an attribute
        EmptyClose,  // after a start tag's '/': '>' must follow
        AttrName,    // inside an attribute's name
        AttrEq,      // after an attribute's name: blanks, then '='
        AttrQuote,   // after '=': blanks, then the opening quote
        AttrValue,   // inside an attribute value, up to m_quote
        EndName,     // inside an end tag's name, m_matched bytes of the open element's matched
        EndBlank,    // after an end tag's name: blanks, then '>'
        Bang,        // after "<!"
        Cdata,       // inside a CDATA section, read by m_cdata
        PiTarget,    // inside a processing instruction's target
        Skipped,     // inside a comment or processing instruction, read by m_skip
        Declaration, // inside the XML declaration, read by m_declaration until "?>"
        Doctype,     // inside a DOCTYPE, read by m_doctype
    };

    qsizetype scanPiece(QByteArrayView utf8);
    qsizetype scan(const uchar *begin, const uchar *end);
    bool beginStartTag();
    bool completeStartTag(bool empty);
    void endElement();
    void reference(QByteArrayView utf8);
    void keep(const uchar *from, const uchar *to);
    void keepText(QByteArrayView utf8);
    // Takes the encoding the XML declaration names, if any; *switched when
    // the bytes that follow are to be decoded again. False when it failed.
    bool declareEncoding(bool *switched);
    void markHere(const uchar *at);
    void fail(const QString &message, const uchar *at);
    void failAtMark(const QString &message);
    bool failAtTag(const QString &message);

    Handler &m_handler;
    XmlDecoder m_decoder;
    Utf8Check m_utf8;
    XmlPlace m_place;
    XmlElements m_elements;
    XmlDoctype m_doctype;
    XmlReference m_reference;
    XmlSkip m_skip;
    XmlCdata m_cdata;
    XmlDeclaration m_declaration;

    State m_state = State::Start;
    bool m_keep = false;
    bool m_halted = false;
    bool m_first = false; // the '<' being read is the document's first character
    bool m_rootSeen = false;
    bool m_rootDone = false;
    bool m_doctypeSeen = false;
    bool m_inValue = false;   // a reference being read is in an attribute value
    bool m_blankSeen = false; // a blank precedes the next attribute of the tag
    bool m_keptCr = false;    // the text kept last ended with CR: an LF next is the same line end
    int m_brackets = 0;       // ']' just seen in text: "]]>" may not appear there
    char m_quote = 0;
    int m_matched = 0;
    int m_nameLength = 0; // bytes of the name being read
    XmlNameChar m_nameChar;
    bool m_tagPlaced = false; // the start tag's place is taken from the mark into m_tagLine and m_tagColumn
    qint64 m_tagLine = 1;
    qint64 m_tagColumn = 1;
    QByteArray m_held; // the first bytes of a processing instruction's target

    QString m_error;
    qint64 m_errorLine = 0;
    qint64 m_errorColumn = 0;
};
