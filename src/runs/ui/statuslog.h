#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCharFormat>

// The run's status window: a read-only view of coloured lines that keeps only
// the most recent ones, so a run can add any number of lines at a constant cost.
class StatusLog : public QPlainTextEdit
{
    Q_OBJECT

public:
    // Lines kept before the oldest is dropped; one more is appended after the drop.
    static constexpr int KeptLines = 200;
    // Longer lines (a hostile server's error text) are cut there and end in " ...":
    // laying out megabytes in one line would stall the window for every later line.
    static constexpr int MaxLineLength = 8192;

    struct LineStyle
    {
        QColor color;
        bool bold = false;
        bool underline = false;
    };

    explicit StatusLog(QWidget *parent = nullptr);

    // Appends text as the new last line and scrolls to it. kind: 0 black, 1 red
    // bold, 3 red bold underlined, 4 green, 5 blue, 6 black bold; any other kind
    // keeps the style of the previous line. With more than KeptLines lines the
    // first one is deleted first, so at most KeptLines + 1 remain. Text with line
    // breaks adds one line per piece (a final break adds none), each trimmed the same way.
    void AddStatusLine(const QString &text, int kind);

    int lineCount() const { return m_lineCount; }
    // The text and the style of line i (0 = oldest); "" and a default style when out of range.
    QString lineText(int i) const;
    LineStyle lineStyle(int i) const;

    // Empties the window. Use this rather than QPlainTextEdit::clear(), which
    // would leave the line count behind.
    void clear();

private:
    QTextCharFormat m_format;
    int m_lineCount = 0;
};
