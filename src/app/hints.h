#pragma once

#include <QString>

class QAction;
class QWidget;

// A hint is "short|long": the long part is what the status bar shows while the
// pointer is over the control; the short part is a tool tip, shown only on the
// tool bar buttons. The whole hint stays readable as the "hint" property.
void SetHint(QWidget *widget, const QString &hint, bool withToolTip = false);
void SetHint(QAction *action, const QString &hint);
QString LongHint(const QString &hint);
QString ShortHint(const QString &hint);
