#pragma once

#include <QtGlobal>

// Counts lines and columns of UTF-8 text read piece by piece, lazily: the
// reader moves it forward only to the places it needs and to the end of each
// piece, so every byte is counted once. Lines end at LF, CR LF or CR; columns
// count characters; both start at 1.
class XmlPlace
{
public:
    // A new piece [begin, end) starts; the previous one was counted to its end.
    void begin(const uchar *begin, const uchar *end);
    // Counts up to `to`, which lies in the current piece at or after the last place counted.
    void advance(const uchar *to);
    // Of the character at the place counted to.
    qint64 line() const { return m_line; }
    qint64 column() const { return m_column + 1; }

    // Notes where a token starts in the current piece; markLine() and
    // markColumn() tell that place, also once the piece is gone. settle() must
    // be called before the piece ends.
    void mark(const uchar *at) { m_mark = at; }
    void settle();
    qint64 markLine()
    {
        settle();
        return m_markLine;
    }
    qint64 markColumn()
    {
        settle();
        return m_markColumn;
    }

private:
    const uchar *m_at = nullptr;
    const uchar *m_mark = nullptr; // a mark not counted yet
    qint64 m_line = 1;
    qint64 m_column = 0;    // characters of the line before m_at
    bool m_afterCr = false; // the last byte counted was CR: an LF next ends no further line
    bool m_hasCr = false;   // the piece holds a CR: lines are not simply counted by LF
    qint64 m_markLine = 1;
    qint64 m_markColumn = 1;
};
