#include "net/netcore.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

namespace {

class WakeUpEvent : public QEvent
{
public:
    explicit WakeUpEvent(quint64 serial) : QEvent(type()), serial(serial) {}
    static QEvent::Type type()
    {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    const quint64 serial;
};

} // namespace

NetCore::NetCore(QObject *parent) : QObject(parent)
{
    m_pumpTimer.setInterval(100);
}

NetCore::~NetCore()
{
    if (m_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool NetCore::pumpOnce()
{
    if (!m_filterInstalled && QCoreApplication::instance() && QCoreApplication::instance()->thread() == thread()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_filterInstalled = true;
    }
    // Started with the first wait and kept for the component's life: starting
    // and stopping it around every pass costs more than its ten idle ticks a second.
    if (!m_pumpTimer.isActive())
        m_pumpTimer.start();
    ++m_waitDepth;
    // An end request taken by a wait further out belongs to that wait.
    const PassTaken outer = m_taken;
    m_taken = {};
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const PassTaken mine = m_taken;
    m_taken = outer;
    --m_waitDepth;
    if (mine.quit && QCoreApplication::instance())
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    return !mine.any();
}

void NetCore::drainToWakeUp()
{
    QCoreApplication::postEvent(this, new WakeUpEvent(++m_wakeSerial));
    while (pumpOnce()) {
    }
}

bool NetCore::isWindowCloseRequest(QObject *receiver, const QEvent *event)
{
    if (event->type() != QEvent::Close || receiver == nullptr)
        return false;
    return receiver->isWindowType() || (receiver->isWidgetType() && receiver->parent() == nullptr);
}

bool NetCore::event(QEvent *event)
{
    if (event->type() == WakeUpEvent::type()) {
        // A wake-up left over from an earlier wait that ended otherwise is dropped.
        if (m_waitDepth > 0 && static_cast<WakeUpEvent *>(event)->serial == m_wakeSerial)
            m_taken.wakeUp = true;
        return true;
    }
    return QObject::event(event);
}

bool NetCore::eventFilter(QObject *watched, QEvent *event)
{
    if (m_waitDepth == 0)
        return false;
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        m_taken.quit = true;
        return true;
    }
    if (isWindowCloseRequest(watched, event))
        m_taken.close = true;
    return false;
}

void NetCore::fireError(net::Error code, const QString &description)
{
    if (OnError)
        OnError(this, static_cast<int>(code), description);
}
