#pragma once

#include <QObject>
#include <QTimer>

class THTTPClient;
class RunObserver;

// The user's hold on a run in progress: Skip URL, Skip Engine and Stop, and the
// timeout. The buttons only set their flag; the pending request is interrupted
// at the next tick of the one-second timer, and a pause ends at once. The run
// reads the flags at fixed points and clears what it has acted on.
class RunControl : public QObject
{
    Q_OBJECT

public:
    // Why the pending request was interrupted.
    enum class Interruption { None, SkipUrl, SkipEngine, Stop, Timeout };

    explicit RunControl(THTTPClient &http, QObject *parent = nullptr);

    // A run is in progress: the window keeps its project and its run buttons still.
    bool inProgress() const { return m_inProgress; }
    bool skipUrlRequested() const { return m_skipUrl; }
    bool skipEngineRequested() const { return m_skipEngine; }
    bool stopRequested() const { return m_stop; }

    // The run's side.
    void reset();               // every flag cleared, the timer stopped
    void setInProgress(bool on) { m_inProgress = on; }
    void clearSkipUrl() { m_skipUrl = false; }
    void clearSkipEngine() { m_skipEngine = false; }
    void setObserver(RunObserver *observer) { m_observer = observer; }
    // Starts the timeout for one request: it is interrupted once limitSeconds
    // ticks have passed (or at the first tick after a flag was set).
    void startRequest(int limitSeconds);
    // Stops the timer; returns why the request was interrupted, if it was.
    Interruption finishRequest();
    // The end of the transfer: the timeout no longer counts.
    void transferEnded();
    // Waits seconds in the event loop; returns false when a flag, a quit or a
    // window's close ended the wait early.
    bool pause(int seconds);

public slots:
    void skipUrl();
    void skipEngine();
    void stop();

private:
    void tick();
    void interrupt(Interruption why);

    THTTPClient &m_http;
    RunObserver *m_observer = nullptr;
    QTimer m_timer;
    int m_count = 0;
    int m_limit = 0;
    bool m_inProgress = false;
    bool m_skipUrl = false;
    bool m_skipEngine = false;
    bool m_stop = false;
    Interruption m_interruption = Interruption::None;
};
