#include "app/windowstatusbar.h"

#include "app/hints.h"
#include "app/named.h"

#include <QLabel>

WindowStatusBar::WindowStatusBar(QWidget *parent)
    : QStatusBar(parent), m_idPanel(Named<QLabel>(QStringLiteral("StatusBarIdPanel"), QStringLiteral("0"))),
      m_hintPanel(Named<QLabel>(QStringLiteral("StatusBarHintPanel")))
{
    setObjectName(QStringLiteral("StatusBar"));
    SetHint(this, QStringLiteral("ID|Project ID is showing on the left"));
    m_idPanel->setFixedWidth(50);
    m_idPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_hintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A long hint is cut rather than widen the window.
    m_hintPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addPermanentWidget(m_idPanel);
    addPermanentWidget(m_hintPanel, 1);
}

void WindowStatusBar::showProjectId(int id)
{
    m_idPanel->setText(QString::number(id));
}

void WindowStatusBar::showHint(const QString &hint)
{
    m_hintPanel->setText(hint);
}
