#include "project/readers/xmlscanner.h"

#include "project/readers/xmlbytes.h"

#include <cstring>

namespace {

using XmlBytes::isBlank;

constexpr std::array<bool, 256> textStops()
{
    std::array<bool, 256> table{};
    table['<'] = table['&'] = table[']'] = table['>'] = true;
    return table;
}
constexpr std::array<bool, 256> TextStops = textStops();

QString tooLongName()
{
    return QStringLiteral("A name longer than %1 bytes.").arg(XmlScanner::MaxNameBytes);
}

} // namespace

XmlScanner::XmlScanner(Handler &handler, QByteArrayView knownNamespace) : m_handler(handler), m_elements(knownNamespace)
{}

void XmlScanner::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && !failed() && !m_halted) {
        qsizetype taken = 0;
        const QByteArrayView utf8 = m_decoder.decode(bytes, &taken);
        const qsizetype used = utf8.isEmpty() ? 0 : scanPiece(utf8);
        // A declaration switched the encoding: what follows it is decoded again.
        if (utf8.data() == bytes.data() && used < utf8.size() && !failed() && !m_halted)
            taken = used;
        bytes = bytes.sliced(taken);
    }
}

void XmlScanner::finish()
{
    if (failed() || m_halted)
        return;
    const QByteArrayView rest = m_decoder.finish();
    if (!rest.isEmpty())
        scanPiece(rest);
    if (failed() || m_halted)
        return;
    if (m_utf8.midCharacter())
        fail(QStringLiteral("Invalid byte sequence for the document's encoding."), nullptr);
    else if (!m_rootDone || m_state != State::Text)
        fail(QStringLiteral("Premature end of document."), nullptr);
}

qint64 XmlScanner::tagLine()
{
    return m_tagPlaced ? m_tagLine : m_place.markLine();
}

// Checks the bytes first, so that a fault of the encoding is found at the same
// place whatever the slices, then reads them.
qsizetype XmlScanner::scanPiece(QByteArrayView utf8)
{
    const uchar *begin = reinterpret_cast<const uchar *>(utf8.data());
    m_place.begin(begin, begin + utf8.size());
    Utf8Check::Fault fault = Utf8Check::Fault::None;
    const qsizetype valid = m_utf8.check(begin, utf8.size(), &fault);
    const qsizetype used = scan(begin, begin + valid);
    if (failed() || m_halted)
        return used;
    if (used < valid)
        m_utf8.reset(); // the declaration switched the encoding: the rest is checked again once decoded
    else if (valid < utf8.size())
        fail(fault == Utf8Check::Fault::Encoding ? QStringLiteral("Invalid byte sequence for the document's encoding.")
                                                 : QStringLiteral("A character XML does not allow."),
             begin + valid);
    if (!failed()) {
        m_place.settle();
        m_place.advance(begin + used);
    }
    return used;
}

// Reads [begin, end) from m_state on, and returns where it stopped: at end,
// at a fault, when the handler halted, or after an XML declaration that
// switched the encoding.
qsizetype XmlScanner::scan(const uchar *begin, const uchar *end)
{
    const uchar *p = begin;
    const auto stop = [&](const QString &message) {
        fail(message, p);
        return p - begin;
    };
    const auto stopAtMark = [&](const QString &message) {
        failAtMark(message);
        return p - begin;
    };
    while (p < end) {
        const uchar c = *p;
        switch (m_state) {
        case State::Start:
            m_state = State::Text;
            if (c == '<') {
                markHere(p);
                m_first = true;
                m_state = State::Open;
                ++p;
            }
            break;

        case State::Text: {
            if (m_elements.isEmpty()) {
                if (isBlank(c)) {
                    ++p;
                } else if (c == '<') {
                    markHere(p);
                    m_state = State::Open;
                    ++p;
                } else {
                    return stop(m_rootDone ? QStringLiteral("Extra content at end of document.")
                                           : QStringLiteral("Start tag expected."));
                }
                break;
            }
            const uchar *run = p;
            while (p < end) {
                const uchar *plain = p;
                while (p < end && !TextStops[*p])
                    ++p;
                if (p > plain)
                    m_brackets = 0;
                if (p == end || *p == '<' || *p == '&')
                    break;
                if (*p == '>' && m_brackets >= 2) {
                    keep(run, p);
                    return stop(QStringLiteral("\"]]>\" is not allowed in text."));
                }
                m_brackets = *p == ']' ? m_brackets + 1 : 0;
                ++p;
            }
            keep(run, p);
            if (p == end)
                break;
            m_brackets = 0;
            m_keptCr = false;
            markHere(p);
            m_inValue = false;
            if (*p == '&')
                m_reference = {};
            m_state = *p == '<' ? State::Open : State::Reference;
            ++p;
            break;
        }

        case State::Reference:
            switch (m_reference.take(c)) {
            case XmlReference::Step::More:
                break;
            case XmlReference::Step::Done:
                reference(m_reference.utf8());
                break;
            case XmlReference::Step::Fault:
                return m_reference.faultsWhole() ? stopAtMark(m_reference.fault()) : stop(m_reference.fault());
            }
            ++p;
            break;

        case State::Open: {
            const bool first = std::exchange(m_first, false);
            if (c == '/') {
                if (m_elements.isEmpty())
                    return stopAtMark(m_rootDone ? QStringLiteral("Extra content at end of document.")
                                                 : QStringLiteral("Unexpected end tag."));
                m_matched = 0;
                m_state = State::EndName;
            } else if (c == '!') {
                m_state = State::Bang;
            } else if (c == '?') {
                m_first = first;
                m_held.clear();
                m_nameLength = 0;
                m_state = State::PiTarget;
            } else if (m_rootDone) {
                return stopAtMark(QStringLiteral("Extra content at end of document."));
            } else if (!m_nameChar.take(c, true)) {
                return stop(QStringLiteral("Unexpected character after '<'."));
            } else {
                if (!beginStartTag())
                    return p - begin;
                m_elements.appendName(QByteArrayView(reinterpret_cast<const char *>(&c), 1));
                m_nameLength = 1;
                m_state = State::StartName;
            }
            ++p;
            break;
        }
        case State::StartName:
        case State::AttrName: {
            const bool element = m_state == State::StartName;
            const uchar *name = p;
            const qsizetype room = MaxNameBytes - m_nameLength; // bytes the name may still take
            while (p < end && (*p >= 0x80 || XmlName::Byte[*p])) {
                if (p - name == room)
                    return stop(tooLongName());
                if (*p >= 0x80 && !m_nameChar.take(*p, false))
                    return stop(QStringLiteral("A character that no name may hold."));
                ++p;
            }
            const QByteArrayView bytes(name, p - name);
            if (element)
                m_elements.appendName(bytes);
            else
                m_elements.appendAttributeName(bytes);
            m_nameLength += int(p - name);
            if (p == end)
                break;
            if (element) {
                if (!m_elements.endName())
                    return stopAtMark(QStringLiteral("The element's name is no qualified name."));
            } else if (const QString problem = m_elements.endAttributeName(); !problem.isEmpty()) {
                return stop(problem);
            }
            if (isBlank(*p)) {
                m_blankSeen = true;
                m_state = element ? State::Tag : State::AttrEq;
            } else if (element && *p == '>') {
                ++p;
                if (!completeStartTag(false))
                    return p - begin;
                m_state = State::Text;
                break;
            } else if (element && *p == '/') {
                m_state = State::EmptyClose;
            } else if (!element && *p == '=') {
                m_state = State::AttrQuote;
            } else {
                return stop(element ? QStringLiteral("Unexpected character in a tag.")
                                    : QStringLiteral("Expected '=' after an attribute name."));
            }
            ++p;
            break;
        }
        case State::Tag:
            if (isBlank(c)) {
                m_blankSeen = true;
            } else if (c == '>') {
                ++p;
                if (!completeStartTag(false))
                    return p - begin;
                m_state = State::Text;
                break;
            } else if (c == '/') {
                m_state = State::EmptyClose;
            } else if (!m_nameChar.take(c, true)) {
                return stop(QStringLiteral("Unexpected character in a tag."));
            } else if (!m_blankSeen) {
                return stop(QStringLiteral("Attributes must be separated by blanks."));
            } else if (!m_elements.addAttribute()) {
                return stop(QStringLiteral("More than %1 attributes on one element.").arg(XmlElements::MaxAttributes));
            } else {
                m_elements.appendAttributeName(QByteArrayView(reinterpret_cast<const char *>(&c), 1));
                m_nameLength = 1;
                m_state = State::AttrName;
            }
            ++p;
            break;
        case State::EmptyClose:
            if (c != '>')
                return stop(QStringLiteral("Expected '>' after '/'."));
            ++p;
            if (!completeStartTag(true))
                return p - begin;
            m_state = State::Text;
            break;
        case State::AttrEq:
        case State::AttrQuote:
            if (isBlank(c)) {
            } else if (m_state == State::AttrEq && c == '=') {
                m_state = State::AttrQuote;
            } else if (m_state == State::AttrQuote && (c == '"' || c == '\'')) {
                m_quote = char(c);
                m_state = State::AttrValue;
            } else {
                return stop(m_state == State::AttrEq ? QStringLiteral("Expected '=' after an attribute name.")
                                                     : QStringLiteral("Expected a quoted attribute value."));
            }
            ++p;
            break;
        case State::AttrValue: {
            const uchar *run = p;
            while (p < end && *p != m_quote && *p != '<' && *p != '&')
                ++p;
            if (m_elements.valueMatters())
                m_elements.matchValue(QByteArrayView(run, p - run));
            if (p == end)
                break;
            if (*p == '<')
                return stop(QStringLiteral("Unexpected '<' in an attribute value."));
            if (*p == '&') {
                // The reference's place is marked, so the tag's is taken first.
                if (!m_tagPlaced) {
                    m_tagLine = m_place.markLine();
                    m_tagColumn = m_place.markColumn();
                    m_tagPlaced = true;
                }
                markHere(p);
                m_inValue = true;
                m_reference = {};
                m_state = State::Reference;
            } else {
                m_elements.endValue();
                m_blankSeen = false;
                m_state = State::Tag;
            }
            ++p;
            break;
        }
        case State::EndName: {
            const QByteArrayView open = m_elements.openName();
            const char *name = open.data();
            const int length = int(open.size());
            while (p < end && m_matched < length && char(*p) == name[m_matched]) {
                ++p;
                ++m_matched;
            }
            if (p == end)
                break;
            if (m_matched < length || !(isBlank(*p) || *p == '>'))
                return stopAtMark(QStringLiteral("Opening and ending tag mismatch."));
            m_state = State::EndBlank;
            break;
        }
        case State::EndBlank:
            if (c == '>') {
                ++p;
                endElement();
                m_state = State::Text;
                break;
            }
            if (!isBlank(c))
                return stop(QStringLiteral("Expected '>' at the end of an end tag."));
            ++p;
            break;

        case State::Bang:
            if (c == '-') {
                m_skip.beginComment();
                m_state = State::Skipped;
            } else if (c == '[') {
                if (m_elements.isEmpty())
                    return stopAtMark(QStringLiteral("A CDATA section outside the root element."));
                m_cdata.begin();
                m_state = State::Cdata;
            } else if (c == 'D') {
                if (m_rootSeen || m_doctypeSeen)
                    return stopAtMark(QStringLiteral("A DOCTYPE is allowed only once, before the root element."));
                m_doctype = {};
                m_state = State::Doctype;
            } else {
                return stop(QStringLiteral("Unexpected character after \"<!\"."));
            }
            ++p;
            break;
        case State::Cdata: {
            QByteArrayView piece;
            switch (m_cdata.read(&p, end, &piece)) {
            case XmlCdata::Step::More:
                break;
            case XmlCdata::Step::Text:
                keep(reinterpret_cast<const uchar *>(piece.data()),
                     reinterpret_cast<const uchar *>(piece.data()) + piece.size());
                break;
            case XmlCdata::Step::Brackets:
                keepText(piece);
                break;
            case XmlCdata::Step::Done:
                m_keptCr = false;
                m_state = State::Text;
                break;
            case XmlCdata::Step::Fault:
                return stop(m_cdata.fault());
            }
            break;
        }

        case State::PiTarget: {
            if (m_nameChar.take(c, m_nameLength == 0)) {
                if (m_held.size() < 4)
                    m_held += char(c);
                if (++m_nameLength > MaxNameBytes)
                    return stop(tooLongName());
                ++p;
                break;
            }
            if (m_nameLength == 0)
                return stop(QStringLiteral("A processing instruction without a target."));
            const bool xml = m_nameLength == 3 && m_held.toLower() == "xml";
            if (xml && std::exchange(m_first, false) && m_held == "xml" && isBlank(c)) {
                m_declaration = {};
                m_state = State::Declaration;
            } else if (xml) {
                return stopAtMark(QStringLiteral("XML declaration not at start of document."));
            } else if (c == '?' || isBlank(c)) {
                m_skip.beginPi(c == '?');
                m_state = State::Skipped;
            } else {
                return stop(QStringLiteral("Unexpected character in a processing instruction's target."));
            }
            m_first = false;
            ++p;
            break;
        }
        case State::Skipped:
            switch (m_skip.read(&p, end)) {
            case XmlSkip::Step::More:
                break;
            case XmlSkip::Step::Done:
                m_state = State::Text;
                break;
            case XmlSkip::Step::Fault:
                return stop(m_skip.fault());
            }
            break;
        case State::Declaration:
            ++p;
            switch (m_declaration.take(c)) {
            case XmlDeclaration::Step::More:
                break;
            case XmlDeclaration::Step::Fault:
                return stopAtMark(m_declaration.fault());
            case XmlDeclaration::Step::Done: {
                bool switched = false;
                if (!declareEncoding(&switched))
                    return p - begin;
                m_state = State::Text;
                if (switched)
                    return p - begin;
                break;
            }
            }
            break;

        case State::Doctype:
            switch (m_doctype.read(&p, end)) {
            case XmlDoctype::Step::More:
                break;
            case XmlDoctype::Step::Done:
                m_doctypeSeen = true;
                m_state = State::Text;
                break;
            case XmlDoctype::Step::Fault:
                return stop(m_doctype.fault());
            }
            break;
        }
    }
    return p - begin;
}

bool XmlScanner::beginStartTag()
{
    if (!m_elements.open()) {
        failAtMark(QStringLiteral("Elements nested deeper than %1 levels.").arg(XmlElements::MaxDepth));
        return false;
    }
    m_rootSeen = true;
    m_tagPlaced = false;
    m_blankSeen = false;
    return true;
}

bool XmlScanner::completeStartTag(bool empty)
{
    if (!m_tagPlaced) {
        m_tagLine = m_place.markLine();
        m_tagColumn = m_place.markColumn();
        m_tagPlaced = true;
    }
    Space space = Space::None;
    const QString problem = m_elements.complete(&space);
    if (!problem.isEmpty())
        return failAtTag(problem);
    const QByteArrayView name = m_elements.openName();
    const qsizetype colon = name.indexOf(':');
    m_handler.startElement(space, colon < 0 ? name : name.sliced(colon + 1), name);
    if (empty && !m_halted)
        endElement();
    return !m_halted;
}

void XmlScanner::endElement()
{
    m_handler.endElement();
    m_elements.close();
    m_rootDone = m_elements.isEmpty();
}

void XmlScanner::reference(QByteArrayView bytes)
{
    if (m_inValue) {
        m_elements.matchValue(bytes);
        m_state = State::AttrValue;
    } else {
        keepText(bytes);
        m_state = State::Text;
    }
}

// Gives text read literally to the handler, its line ends made LF.
void XmlScanner::keep(const uchar *from, const uchar *to)
{
    if (!m_keep || from == to)
        return;
    if (std::exchange(m_keptCr, false) && *from == '\n')
        ++from;
    while (from < to) {
        const void *cr = std::memchr(from, '\r', size_t(to - from));
        const uchar *lineEnd = cr ? static_cast<const uchar *>(cr) : to;
        if (lineEnd > from)
            m_handler.text(QByteArrayView(from, lineEnd - from));
        if (!cr)
            return;
        m_handler.text("\n");
        from = lineEnd + 1;
        if (from == to)
            m_keptCr = true;
        else if (*from == '\n')
            ++from;
    }
}

void XmlScanner::keepText(QByteArrayView utf8)
{
    m_keptCr = false;
    if (m_keep)
        m_handler.text(utf8);
}

bool XmlScanner::declareEncoding(bool *switched)
{
    const QByteArrayView encoding = m_declaration.encoding();
    if (encoding.isNull())
        return true;
    const bool before = m_decoder.passesThrough();
    const QString problem = m_decoder.declare(encoding);
    if (!problem.isEmpty())
        return failAtTag(problem);
    *switched = before && !m_decoder.passesThrough();
    return true;
}

void XmlScanner::markHere(const uchar *at)
{
    m_place.mark(at);
}

void XmlScanner::fail(const QString &message, const uchar *at)
{
    if (at)
        m_place.advance(at);
    m_error = message;
    m_errorLine = m_place.line();
    m_errorColumn = m_place.column();
}

void XmlScanner::failAtMark(const QString &message)
{
    m_error = message;
    m_errorLine = m_place.markLine();
    m_errorColumn = m_place.markColumn();
}

// At the '<' of the tag being read: the mark may have moved on to a reference in an attribute value.
bool XmlScanner::failAtTag(const QString &message)
{
    if (!m_tagPlaced)
        return failAtMark(message), false;
    m_error = message;
    m_errorLine = m_tagLine;
    m_errorColumn = m_tagColumn;
    return false;
}
