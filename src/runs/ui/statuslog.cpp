#include "runs/ui/statuslog.h"

#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

bool styleForKind(StatusKind kind, QTextCharFormat &format)
{
    QColor color;
    bool bold = false;
    bool underline = false;
    switch (kind) {
    case StatusKind::Plain:
        color = Qt::black;
        break;
    case StatusKind::Heading:
        color = QColor(255, 0, 0);
        bold = true;
        break;
    case StatusKind::Failure:
        color = QColor(255, 0, 0);
        bold = true;
        underline = true;
        break;
    case StatusKind::Event:
        color = QColor(0, 128, 0);
        break;
    case StatusKind::Url:
        color = QColor(0, 0, 255);
        break;
    case StatusKind::Phase:
        color = Qt::black;
        bold = true;
        break;
    default:
        return false;
    }
    format.setForeground(color);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontUnderline(underline);
    return true;
}

} // namespace

StatusLog::StatusLog(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("SubmitStatusRichEdit"));
    setReadOnly(true);
    // Without this every appended and trimmed line would stay on the undo stack
    // for the life of the window.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
    styleForKind(StatusKind::Plain, m_format);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(GatherIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &StatusLog::flush);
}

void StatusLog::AddStatusLine(const QString &text, StatusKind kind)
{
    styleForKind(kind, m_format);

    static const QRegularExpression lineBreak(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    QStringList lines = text.split(lineBreak);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();

    for (const QString &line : std::as_const(lines)) {
        m_pending.append(
            {line.size() > MaxLineLength ? line.left(MaxLineLength) + QStringLiteral(" ...") : line, m_format});
        if (m_pending.size() > KeptLines + 1)
            m_pending.removeFirst();
        m_lineCount = qMin(m_lineCount + 1, KeptLines + 1);
    }
    if (!m_gathering)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void StatusLog::setGathering(bool on)
{
    m_gathering = on;
    if (!on) {
        m_flushTimer.stop();
        flush();
    }
}

void StatusLog::flush()
{
    if (m_pending.isEmpty())
        return;
    QTextDocument *doc = document();
    QTextCursor cursor(doc);
    // Positions are set directly rather than moved to: a cursor move lays out
    // the block it leaves, and the dropped lines are never seen.
    cursor.beginEditBlock();
    const int dropped = qMin(m_lineInDocument, m_lineInDocument + int(m_pending.size()) - (KeptLines + 1));
    if (dropped > 0) {
        cursor.setPosition(0);
        if (dropped == m_lineInDocument)
            cursor.setPosition(doc->characterCount() - 1, QTextCursor::KeepAnchor);
        else
            cursor.setPosition(doc->findBlockByNumber(dropped).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        m_lineInDocument -= dropped;
    }
    for (const PendingLine &line : std::as_const(m_pending)) {
        cursor.setPosition(doc->characterCount() - 1);
        if (m_lineInDocument > 0)
            cursor.insertBlock(QTextBlockFormat(), line.format);
        else
            cursor.setBlockCharFormat(line.format);
        cursor.insertText(line.text, line.format);
        ++m_lineInDocument;
    }
    cursor.endEditBlock();
    m_pending.clear();

    // Moving the view's own cursor and asking it to be visible costs a layout
    // pass per line; the new line is the last one, so the bottom shows it.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString StatusLog::lineText(int i) const
{
    const_cast<StatusLog *>(this)->flush();
    if (i < 0 || i >= m_lineCount)
        return QString();
    return document()->findBlockByNumber(i).text();
}

StatusLog::LineStyle StatusLog::lineStyle(int i) const
{
    const_cast<StatusLog *>(this)->flush();
    if (i < 0 || i >= m_lineCount)
        return {};
    const QTextBlock block = document()->findBlockByNumber(i);
    // An empty line has no fragment of its own; its style is the block's.
    QTextCharFormat format = block.charFormat();
    if (block.begin() != block.end())
        format = block.begin().fragment().charFormat();
    return {format.foreground().color(), format.fontWeight() >= QFont::Bold, format.fontUnderline()};
}

void StatusLog::clear()
{
    m_pending.clear();
    m_flushTimer.stop();
    QPlainTextEdit::clear();
    m_lineCount = 0;
    m_lineInDocument = 0;
}
