#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <exception>
#include <functional>
#include <string>

#include "net/socketerrors.h"

// The exception a failed exchange throws out of the Action assignment. Its
// text is the decimal code, ": ", then the failing step's message; 301 always
// reads "Interrupted." and 200 "Out of memory.", and a step without a message
// of its own gets the socket error text of the code.
class ENetCore : public std::exception
{
public:
    // The message is the socket error text of the code (or the fixed 200/301 texts).
    explicit ENetCore(quint16 code);
    // The message is the step's own, even when empty (a status line without a
    // status text gives "151: ").
    ENetCore(quint16 code, const QString &message);

    quint16 Code() const { return m_code; }
    // The text after "code: ".
    QString Message() const { return m_message; }
    // The whole text, "code: message", UTF-8.
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    quint16 m_code;
    QString m_message;
    std::string m_what;
};

namespace net {
enum NetCoreCode : quint16 {
    RemoteHostBusyCode = 101,
    AddressInvalidCode = 102,
    PortZeroCode = 116,
    OutOfMemoryCode = 200,
    InterruptedCode = 301,
};
}

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

    // Fires OnError when a handler is assigned.
    void fireError(int code, const QString &description);

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
