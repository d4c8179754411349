#include "app/memolines.h"

#include <QPlainTextEdit>

QStringList MemoLines(const QPlainTextEdit *memo)
{
    QString text = memo->toPlainText();
    if (text.isEmpty())
        return {};
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

void SetMemoLines(QPlainTextEdit *memo, const QStringList &lines)
{
    memo->setPlainText(lines.join(QLatin1Char('\n')));
}

void AddMemoLine(QPlainTextEdit *memo, const QString &line)
{
    memo->appendPlainText(line);
}
