#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <optional>
#include <unordered_set>
#include <utility>

// Why a line of a URL list was passed over. urlLineProblemText() has the texts.
enum class UrlLineProblem {
    NotHttpUrl,  // does not begin with http:// or https://
    BlankInside, // a blank or a control character inside the URL
    NoHost,      // nothing names a host between "//" and the path
    TooLong,     // more UTF-8 bytes than the table's Url column holds
    LineTooLong, // the line is longer than UrlListParser::MaxLineBytes
};

// "not an http:// or https:// URL", "URL longer than 255 bytes", ...
QString urlLineProblemText(UrlLineProblem problem);

// A line passed over: its number (the first line is 1), why, and the start of
// its text, cut to UrlListParser::ExcerptLength characters (then "...") with
// every control, format and blank character but the space shown as '?'.
struct UrlListWarning
{
    qint64 line = 0;
    UrlLineProblem problem = UrlLineProblem::NotHttpUrl;
    QString excerpt;

    // line 7: not an http:// or https:// URL: "foo bar"
    QString text() const;
};

// Reads the lines of a URL list and keeps those that are URLs, fed the bytes in
// slices of any size; where the slices split never changes the result.
//
// Lines end with LF, CR LF or CR. A list that starts with the byte order mark of
// UTF-16 (little or big endian) is UTF-16 throughout; a UTF-8 byte order mark at
// the very start is ignored. Without a UTF-16 mark a line is UTF-8, or Latin-1
// when it is not valid UTF-8, as older lists are 8-bit text. Blanks around a line are trimmed; an empty line and a line
// beginning with '#' are skipped silently. Any other line that checkLine() refuses,
// or that is longer than MaxLineBytes, is skipped with a warning. A URL seen
// before in the list is skipped silently, so the first occurrence stands (texts
// compared exactly).
//
// At most MaxLineBytes of a line are held whatever its length, and at most
// MaxWarnings warnings are kept (skippedLines() counts them all); only the URLs
// kept grow with the input.
class UrlListParser
{
public:
    static constexpr int MaxLineBytes = 64 * 1024;
    static constexpr int MaxUrlBytes = 255; // the table's Url VARCHAR(255)
    static constexpr int MaxWarnings = 100;
    static constexpr int ExcerptLength = 60;

    void feed(QByteArrayView bytes);
    // Ends a last line that has no line end. Nothing may be fed afterwards.
    void finish();

    qint64 consumed() const { return m_consumed; }
    // The lines ended so far, empty and comment lines included.
    qint64 lines() const { return m_lineNumber - 1; }
    const QStringList &urls() const { return m_urls; }
    QStringList takeUrls() { return std::exchange(m_urls, {}); }
    const QList<UrlListWarning> &warnings() const { return m_warnings; }
    qint64 skippedLines() const { return m_skipped; }

    // Why text (a trimmed line, neither empty nor a comment) is no URL to keep;
    // nullopt for an absolute http:// or https:// URL (scheme in any letter case)
    // with a host, no blank or control character, and at most MaxUrlBytes of UTF-8.
    static std::optional<UrlLineProblem> checkLine(const QString &text);

private:
    enum class State {
        Start,    // nothing but a prefix of a byte order mark seen yet (kept in m_line)
        Line,     // in the text of a line
        AfterCr,  // a CR ended the line: an LF right after it belongs to that end
        Overlong, // the line passed MaxLineBytes: dropping bytes up to its end
    };

    // The line state machine over UTF-8 (or 8-bit) bytes.
    void scan(QByteArrayView bytes);
    void feedLine(QByteArrayView bytes);
    void endLine();
    void warn(UrlLineProblem problem, const QString &text);

    State m_state = State::Start;
    QStringDecoder m_utf16; // valid once a UTF-16 mark was seen: the rest is decoded, then scanned as UTF-8
    qint64 m_utf16Bytes = 0;
    QString m_highSurrogate; // the first half of a pair the next slice completes
    QByteArray m_line;
    qint64 m_lineNumber = 1;
    qint64 m_consumed = 0;
    QStringList m_urls;
    struct TextHash
    {
        size_t operator()(const QString &text) const;
    };
    std::unordered_set<QString, TextHash> m_seen;
    QList<UrlListWarning> m_warnings;
    qint64 m_skipped = 0;
};
