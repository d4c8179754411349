#include "project/xmlscanner.h"

#include <cstring>

namespace {

constexpr char CdataKeyword[] = "[CDATA[";
constexpr int MaxHeld = 256; // the XML declaration's length; an entity name shown in a message

bool isBlank(uchar c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

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
constexpr std::array<bool, 256> NameStart = asciiTable(false);
constexpr std::array<bool, 256> NameByte = asciiTable(true);

constexpr std::array<bool, 256> textStops()
{
    std::array<bool, 256> table{};
    table['<'] = table['&'] = table[']'] = table['>'] = true;
    return table;
}
constexpr std::array<bool, 256> TextStops = textStops();

bool isNameStartCode(char32_t c)
{
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameCode(char32_t c)
{
    return isNameStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

int utf8Of(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | c >> 6);
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | c >> 12);
        out[1] = char(0x80 | (c >> 6 & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | c >> 18);
    out[1] = char(0x80 | (c >> 12 & 0x3F));
    out[2] = char(0x80 | (c >> 6 & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

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
                reference(m_reference.value());
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
            } else if (!nameByte(c, true)) {
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
            while (p < end && (*p >= 0x80 || NameByte[*p])) {
                if (p - name == room)
                    return stop(tooLongName());
                if (*p >= 0x80 && !nameByte(*p, false))
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
            } else if (!nameByte(c, true)) {
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
                m_state = State::BangDash;
            } else if (c == '[') {
                if (m_elements.isEmpty())
                    return stopAtMark(QStringLiteral("A CDATA section outside the root element."));
                m_matched = 1;
                m_state = State::CdataOpen;
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
        case State::BangDash:
            if (c != '-')
                return stop(QStringLiteral("Expected '-' to open a comment."));
            m_state = State::Comment;
            ++p;
            break;
        case State::Comment: {
            const void *dash = std::memchr(p, '-', size_t(end - p));
            if (!dash) {
                p = end;
                break;
            }
            p = static_cast<const uchar *>(dash) + 1;
            m_state = State::CommentDash;
            break;
        }
        case State::CommentDash:
            m_state = c == '-' ? State::CommentDashes : State::Comment;
            ++p;
            break;
        case State::CommentDashes:
            if (c != '>')
                return stop(QStringLiteral("\"--\" is not allowed inside a comment."));
            m_state = State::Text;
            ++p;
            break;
        case State::CdataOpen:
            if (char(c) != CdataKeyword[m_matched])
                return stop(QStringLiteral("Unexpected character after \"<!\"."));
            if (++m_matched == int(sizeof CdataKeyword) - 1)
                m_state = State::Cdata;
            ++p;
            break;
        case State::Cdata: {
            const void *bracket = std::memchr(p, ']', size_t(end - p));
            const uchar *stopAt = bracket ? static_cast<const uchar *>(bracket) : end;
            keep(p, stopAt);
            p = stopAt;
            if (bracket) {
                m_state = State::CdataBracket;
                ++p;
            }
            break;
        }
        case State::CdataBracket:
            if (c == ']') {
                m_state = State::CdataBrackets;
                ++p;
            } else {
                keepText("]");
                m_state = State::Cdata;
            }
            break;
        case State::CdataBrackets:
            if (c == '>') {
                m_keptCr = false;
                m_state = State::Text;
                ++p;
            } else if (c == ']') {
                keepText("]");
                ++p;
            } else {
                keepText("]]");
                m_state = State::Cdata;
            }
            break;

        case State::PiTarget: {
            if (nameByte(c, m_nameLength == 0)) {
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
                m_held.clear();
                m_state = State::Declaration;
            } else if (xml) {
                return stopAtMark(QStringLiteral("XML declaration not at start of document."));
            } else if (c == '?') {
                m_state = State::PiQuestion;
            } else if (isBlank(c)) {
                m_state = State::Pi;
            } else {
                return stop(QStringLiteral("Unexpected character in a processing instruction's target."));
            }
            m_first = false;
            ++p;
            break;
        }
        case State::Pi: {
            const void *question = std::memchr(p, '?', size_t(end - p));
            if (!question) {
                p = end;
                break;
            }
            p = static_cast<const uchar *>(question) + 1;
            m_state = State::PiQuestion;
            break;
        }
        case State::PiQuestion:
            if (c == '>')
                m_state = State::Text;
            else if (c != '?')
                m_state = State::Pi;
            ++p;
            break;
        case State::Declaration:
            ++p;
            if (c == '>' && m_held.endsWith('?')) {
                m_held.chop(1);
                bool switched = false;
                if (!endDeclaration(&switched))
                    return p - begin;
                m_state = State::Text;
                if (switched)
                    return p - begin;
                break;
            }
            if (m_held.size() == MaxHeld)
                return stopAtMark(QStringLiteral("Invalid XML declaration."));
            m_held += char(c);
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

// Takes one byte of a name; false when it cannot be part of one. A character
// of several bytes is judged at its last byte.
bool XmlScanner::nameByte(uchar b, bool first)
{
    if (b < 0x80)
        return first ? NameStart[b] : NameByte[b];
    if (b >= 0xC0) {
        m_codeFirst = first;
        m_codeBytes = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        m_codePoint = b & (b >= 0xF0 ? 0x07 : b >= 0xE0 ? 0x0F : 0x1F);
        return true;
    }
    m_codePoint = m_codePoint << 6 | (b & 0x3F);
    if (--m_codeBytes > 0)
        return true;
    return m_codeFirst ? isNameStartCode(m_codePoint) : isNameCode(m_codePoint);
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

void XmlScanner::reference(char32_t c)
{
    char utf8[4];
    const QByteArrayView bytes(utf8, utf8Of(c, utf8));
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

// m_held holds what follows "<?xml " up to "?>": version, then optionally
// encoding and standalone, each `name = "value"` or with single quotes.
bool XmlScanner::endDeclaration(bool *switched)
{
    const QByteArrayView text(m_held);
    qsizetype at = 0;
    const auto blanks = [&] {
        const qsizetype from = at;
        while (at < text.size() && isBlank(uchar(text[at])))
            ++at;
        return at > from;
    };
    // The value of the pseudo-attribute `name` if it comes next; a null view if it does not, or is broken.
    bool broken = false;
    const auto pseudo = [&](QByteArrayView name) -> QByteArrayView {
        if (!text.sliced(at).startsWith(name))
            return {};
        at += name.size();
        blanks();
        if (at == text.size() || text[at] != '=')
            return broken = true, QByteArrayView();
        ++at;
        blanks();
        const qsizetype close =
            at < text.size() && (text[at] == '"' || text[at] == '\'') ? text.indexOf(text[at], at + 1) : -1;
        if (close < 0)
            return broken = true, QByteArrayView();
        const QByteArrayView value = text.sliced(at + 1, close - at - 1);
        at = close + 1;
        return value.isNull() ? QByteArrayView("", 0) : value;
    };
    blanks();
    const QByteArrayView version = pseudo("version");
    bool valid = !broken && version.size() >= 3 && version.startsWith("1.");
    for (const char c : version.sliced(std::min<qsizetype>(2, version.size())))
        valid = valid && c >= '0' && c <= '9';
    bool blank = blanks();
    const QByteArrayView encoding = blank ? pseudo("encoding") : QByteArrayView();
    if (!encoding.isNull()) {
        valid =
            valid && !encoding.isEmpty() && NameStart[uchar(encoding[0])] && encoding[0] != '_' && encoding[0] != ':';
        for (const char c : encoding)
            valid = valid && (NameByte[uchar(c)] || c == '-') && c != ':';
        blank = blanks();
    }
    const QByteArrayView standalone = blank ? pseudo("standalone") : QByteArrayView();
    if (!standalone.isNull()) {
        valid = valid && (standalone == "yes" || standalone == "no");
        blanks();
    }
    if (!valid || broken || at != text.size())
        return failAtTag(QStringLiteral("Invalid XML declaration."));
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
