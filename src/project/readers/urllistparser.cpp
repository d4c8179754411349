#include "project/readers/urllistparser.h"

#include <QStringDecoder>
#include <string_view>

namespace {

bool isBlankOrControl(QChar c)
{
    if (c.unicode() < 0x80)
        return c.unicode() <= 0x20 || c.unicode() == 0x7F;
    return c.isSpace() || c.category() == QChar::Other_Control;
}

QString decodeLine(QByteArrayView bytes)
{
    bool ascii = true;
    for (const char byte : bytes)
        ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
    if (ascii)
        return QString::fromLatin1(bytes);
    // A byte order mark inside the list is text like any other, not something to drop.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// The start of a refused line as a message can show it: short, one line, nothing
// that moves the cursor or turns the text around.
QString excerptOf(const QString &text)
{
    qsizetype length = std::min<qsizetype>(text.size(), UrlListParser::ExcerptLength);
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    QString excerpt = text.left(length);
    for (QChar &c : excerpt) {
        if ((isBlankOrControl(c) && c != u' ') || c.category() == QChar::Other_Format)
            c = u'?';
    }
    if (length < text.size())
        excerpt += QStringLiteral("...");
    return excerpt;
}

qsizetype utf8Length(QChar c)
{
    // A surrogate is half of a four-byte character.
    return c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 || c.isSurrogate() ? 2 : 3;
}

} // namespace

QString urlLineProblemText(UrlLineProblem problem)
{
    switch (problem) {
    case UrlLineProblem::NotHttpUrl:
        return QStringLiteral("not an http:// or https:// URL");
    case UrlLineProblem::BlankInside:
        return QStringLiteral("a blank or control character inside the URL");
    case UrlLineProblem::NoHost:
        return QStringLiteral("no host name in the URL");
    case UrlLineProblem::TooLong:
        return QStringLiteral("URL longer than %1 bytes").arg(UrlListParser::MaxUrlBytes);
    case UrlLineProblem::LineTooLong:
        return QStringLiteral("line longer than %1 bytes").arg(UrlListParser::MaxLineBytes);
    }
    return QStringLiteral("unreadable line");
}

QString UrlListWarning::text() const
{
    return QStringLiteral("line %1: %2: \"%3\"").arg(line).arg(urlLineProblemText(problem), excerpt);
}

size_t UrlListParser::TextHash::operator()(const QString &text) const
{
    // Qt's own string hash, the way this Qt is built, was most of the time a long list took.
    const std::string_view bytes(reinterpret_cast<const char *>(text.constData()), size_t(text.size()) * sizeof(QChar));
    return std::hash<std::string_view>()(bytes);
}

void UrlListParser::feed(QByteArrayView bytes)
{
    m_consumed += bytes.size();
    qsizetype at = 0;
    while (m_state == State::Start && at < bytes.size()) {
        static constexpr QByteArrayView Marks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
        const QByteArray seen = m_line + bytes[at];
        const QByteArrayView *match = nullptr;
        bool prefix = false;
        for (const QByteArrayView &mark : Marks) {
            if (mark == seen)
                match = &mark;
            prefix = prefix || mark.startsWith(seen);
        }
        if (!prefix) {
            m_state = State::Line; // what looked like a mark is text, and the byte is the line's
            break;
        }
        ++at;
        m_line = seen;
        if (match) {
            m_line.clear();
            m_state = State::Line;
            if (match != &Marks[0])
                m_utf16 = QStringDecoder(match == &Marks[1] ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                                         QStringDecoder::Flag::ConvertInitialBom);
        }
    }
    bytes = bytes.sliced(at);
    if (!m_utf16.isValid()) {
        scan(bytes);
        return;
    }
    m_utf16Bytes += bytes.size();
    QString text = std::exchange(m_highSurrogate, QString()) + m_utf16.decode(bytes);
    // The decoder hands out the first half of a pair as it comes; it waits here for the second.
    if (!text.isEmpty() && text.back().isHighSurrogate()) {
        m_highSurrogate = text.back();
        text.chop(1);
    }
    scan(text.toUtf8());
}

void UrlListParser::scan(QByteArrayView bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        switch (m_state) {
        case State::Start:
        case State::Line:
        case State::Overlong: {
            qsizetype end = at;
            while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
                ++end;
            feedLine(bytes.sliced(at, end - at));
            at = end;
            if (end < bytes.size()) {
                endLine();
                m_state = bytes[end] == '\r' ? State::AfterCr : State::Line;
                ++at;
            }
            break;
        }
        case State::AfterCr:
            if (bytes[at] == '\n')
                ++at;
            m_state = State::Line;
            break;
        }
    }
}

void UrlListParser::finish()
{
    // Half a UTF-16 character at the end is shown as a replacement character.
    if (m_utf16.isValid() && (m_utf16Bytes % 2 != 0 || !m_highSurrogate.isEmpty()))
        scan("\xEF\xBF\xBD");
    if (m_state == State::Overlong || (m_state != State::AfterCr && !m_line.isEmpty()))
        endLine();
    m_state = State::Line;
}

void UrlListParser::feedLine(QByteArrayView bytes)
{
    if (m_state == State::Overlong)
        return;
    if (m_line.size() + bytes.size() <= MaxLineBytes) {
        m_line += bytes;
        return;
    }
    // Only the start is kept, for the warning; UTF-8 needs at most four bytes a character.
    const qsizetype keep = std::max<qsizetype>(0, ExcerptLength * 4 + 1 - m_line.size());
    m_line += bytes.first(std::min(keep, bytes.size()));
    m_line.truncate(ExcerptLength * 4 + 1);
    m_line.squeeze();
    m_state = State::Overlong;
}

void UrlListParser::endLine()
{
    if (m_state == State::Overlong) {
        warn(UrlLineProblem::LineTooLong, QString::fromUtf8(m_line).trimmed());
    } else if (const QString text = decodeLine(m_line).trimmed(); !text.isEmpty() && !text.startsWith(u'#')) {
        if (const std::optional<UrlLineProblem> problem = checkLine(text))
            warn(*problem, text);
        else if (m_seen.insert(text).second)
            m_urls.append(text);
    }
    m_line.truncate(0);
    ++m_lineNumber;
}

void UrlListParser::warn(UrlLineProblem problem, const QString &text)
{
    ++m_skipped;
    if (m_warnings.size() < MaxWarnings)
        m_warnings.append({m_lineNumber, problem, excerptOf(text)});
}

std::optional<UrlLineProblem> UrlListParser::checkLine(const QString &text)
{
    qsizetype authority = 0;
    if (text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        authority = 7;
    else if (text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        authority = 8;
    else
        return UrlLineProblem::NotHttpUrl;

    qsizetype bytes = 0;
    for (const QChar c : text) {
        if (isBlankOrControl(c))
            return UrlLineProblem::BlankInside;
        bytes += utf8Length(c);
    }

    qsizetype end = authority;
    while (end < text.size() && text.at(end) != u'/' && text.at(end) != u'?' && text.at(end) != u'#')
        ++end;
    QStringView host = QStringView(text).sliced(authority, end - authority);
    host = host.sliced(host.lastIndexOf(u'@') + 1);
    if (host.startsWith(u'['))
        host = host.sliced(1, std::max<qsizetype>(host.indexOf(u']') - 1, 0));
    else
        host = host.left(host.indexOf(u':'));
    if (host.isEmpty())
        return UrlLineProblem::NoHost;

    if (bytes > MaxUrlBytes)
        return UrlLineProblem::TooLong;
    return std::nullopt;
}
