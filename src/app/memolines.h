#pragma once

#include <QStringList>

class QPlainTextEdit;

// A memo's lines as a list: an empty memo has no lines, and a line break at the
// very end does not start another line.
QStringList MemoLines(const QPlainTextEdit *memo);
void SetMemoLines(QPlainTextEdit *memo, const QStringList &lines);
void AddMemoLine(QPlainTextEdit *memo, const QString &line);
