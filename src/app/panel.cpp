#include "app/panel.h"

Panel::Panel(const QString &objectName, QWidget *parent) : QFrame(parent)
{
    setObjectName(objectName);
}

void Panel::setResizeRule(ResizeRule rule)
{
    m_rule = std::move(rule);
    if (m_rule)
        m_rule(width(), height());
}

void Panel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (m_rule)
        m_rule(width(), height());
}
