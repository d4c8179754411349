#pragma once

#include "runs/runobserver.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTimer>

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

    // How long gathered lines wait before they go into the view.
    static constexpr int GatherIntervalMs = 40;

    explicit StatusLog(QWidget *parent = nullptr);

    // Appends text as the new last line and scrolls to it in the kind's style
    // (see StatusKind); a value outside StatusKind keeps the style of the previous line. With more than KeptLines lines
    // the first one is deleted first, so at most KeptLines + 1 remain. Text with line breaks adds one line per piece (a
    // final break adds none), each trimmed the same way.
    void AddStatusLine(const QString &text, StatusKind kind);

    // While gathering (a run in progress), lines are collected and go into the
    // view together, at most GatherIntervalMs later and whenever one is read
    // back: laying out and scrolling to each line as it comes costs more than
    // the request it reports. Without gathering each line goes in at once.
    // Switching it off puts the gathered lines in. Either way the lines, their
    // styles and the trimming are the same.
    void setGathering(bool on);
    bool gathering() const { return m_gathering; }

    int lineCount() const { return m_lineCount; }
    // The text and the style of line i (0 = oldest); "" and a default style when out of range.
    QString lineText(int i) const;
    LineStyle lineStyle(int i) const;

    // Empties the window. Use this rather than QPlainTextEdit::clear(), which
    // would leave the line count behind.
    void clear();

private:
    struct PendingLine
    {
        QString text;
        QTextCharFormat format;
    };
    // Puts the gathered lines into the document, dropping its oldest lines so
    // that at most KeptLines + 1 remain, and scrolls to the last one.
    void flush();

    QTextCharFormat m_format;
    QList<PendingLine> m_pending; // never more than KeptLines + 1: older ones would be dropped anyway
    QTimer m_flushTimer;
    bool m_gathering = false;
    int m_lineCount = 0;      // lines shown once the gathered ones are in
    int m_lineInDocument = 0; // lines the document holds now
};
