#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "net/neterror.h"

// Base of the network components: owns the component's share of the event
// loop. Every wait of an exchange is a series of passes over the thread's
// event queue (pumpOnce), so the one UI thread keeps painting, handling input
// and running timers while an action is pending, and the component's events
// fire from inside those passes.
//
// A pass ends the wait (pumpOnce returns false) when it takes
//  - a quit request: a QEvent::Quit delivered to the application object (what
//    QCoreApplication::quit() sends). It is held back from the application and
//    posted again right after the pass, so the loops further out, and finally
//    the application's own, still see it;
//  - a close request for a window: a QEvent::Close delivered to a QWindow
//    (isWindowType(); every top-level widget's platform close arrives there
//    first) or to a parentless widget. Unlike the quit it is dispatched as
//    usual: a window that asked to close must not stay open;
//  - this component's own wake-up event (postWakeUp/drainToWakeUp).
// A 100 ms timer, running from the first wait on, keeps any pass from
// blocking longer.
//
// Contract: the component must not be deleted from inside one of its own
// events or while an action is pending; use deleteLater().
class NetCore : public QObject
{
    Q_OBJECT

public:
    explicit NetCore(QObject *parent = nullptr);
    ~NetCore() override;

    std::function<void(QObject *Sender, int StatusCode, const QString &Description)> OnError;

    // One pass of the wait loop: waits for the thread's next events and
    // dispatches them. Returns false when the pass took a quit request, a
    // close request or the component's current wake-up event.
    bool pumpOnce();

    // Posts a fresh wake-up event and runs passes until it has been taken or
    // another end request ended a pass; every event queued before it is
    // dispatched on the way. Never throws.
    void drainToWakeUp();

    // True for the events that end a wait as a close request (see above).
    static bool isWindowCloseRequest(QObject *receiver, const QEvent *event);

    // Fire OnError when a handler is assigned, with the code's text or a
    // description of the failing step's own.
    void fireError(net::Error code) { fireError(code, net::errorText(code)); }
    void fireError(net::Error code, const QString &description);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PassTaken
    {
        bool quit = false;
        bool close = false;
        bool wakeUp = false;
        bool any() const { return quit || close || wakeUp; }
    };

    QTimer m_pumpTimer;
    int m_waitDepth = 0;
    quint64 m_wakeSerial = 0;
    PassTaken m_taken;
    bool m_filterInstalled = false;
};
