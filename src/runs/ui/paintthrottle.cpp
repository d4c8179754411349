#include "runs/ui/paintthrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintThrottle::PaintThrottle(QWidget *window, int intervalMs, QObject *parent)
    : QObject(parent), m_window(window), m_intervalMs(intervalMs)
{
    m_pending.setSingleShot(true);
    m_pending.setTimerType(Qt::PreciseTimer);
    connect(&m_pending, &QTimer::timeout, this, &PaintThrottle::deliver);
}

PaintThrottle::~PaintThrottle()
{
    // The window may be going too: nothing is posted to it any more.
    if (m_engaged)
        m_window->removeEventFilter(this);
}

void PaintThrottle::engage()
{
    if (m_engaged)
        return;
    m_engaged = true;
    m_held = false;
    m_heldBack = 0;
    m_sincePaint.invalidate();
    m_window->installEventFilter(this);
}

void PaintThrottle::release()
{
    if (!m_engaged)
        return;
    m_engaged = false;
    m_window->removeEventFilter(this);
    m_pending.stop();
    // The window's dirty region would otherwise wait for the next change that
    // asks for a paint.
    if (m_held)
        QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    m_held = false;
}

bool PaintThrottle::eventFilter(QObject *watched, QEvent *event)
{
    // Every paint of a window's widgets starts with an update request to the window.
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_delivering)
        return false;
    if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= m_intervalMs) {
        m_sincePaint.start();
        m_held = false;
        m_pending.stop();
        return false;
    }
    m_held = true;
    ++m_heldBack;
    if (!m_pending.isActive())
        m_pending.start(int(qMax<qint64>(1, m_intervalMs - m_sincePaint.elapsed())));
    return true;
}

void PaintThrottle::deliver()
{
    if (!m_engaged || !m_held)
        return;
    m_held = false;
    m_sincePaint.start();
    // Swallowed requests leave the window believing one is still on its way, so
    // it asks for none by itself: this one paints everything gathered since.
    m_delivering = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_delivering = false;
}
