#include "app/hints.h"

#include <QAction>
#include <QWidget>

QString ShortHint(const QString &hint)
{
    return hint.section(QLatin1Char('|'), 0, 0);
}

QString LongHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void SetHint(QWidget *widget, const QString &hint, bool withToolTip)
{
    widget->setProperty("hint", hint);
    widget->setStatusTip(LongHint(hint));
    if (withToolTip)
        widget->setToolTip(ShortHint(hint));
}

void SetHint(QAction *action, const QString &hint)
{
    action->setProperty("hint", hint);
    action->setStatusTip(LongHint(hint));
}
