#include "runs/runcontrol.h"

#include "net/httpclient.h"
#include "runs/runobserver.h"

#include <QDeadlineTimer>

RunControl::RunControl(THTTPClient &http, QObject *parent) : QObject(parent), m_http(http), m_timer(this)
{
    m_timer.setObjectName(QStringLiteral("SubmitTimer"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &RunControl::tick);
}

void RunControl::reset()
{
    m_timer.stop();
    m_count = 0;
    m_skipUrl = m_skipEngine = m_stop = false;
    m_interruption = Interruption::None;
}

void RunControl::startRequest(int limitSeconds)
{
    m_count = 0;
    m_limit = limitSeconds;
    m_interruption = Interruption::None;
    if (m_observer)
        m_observer->timeoutTick(0, m_limit);
    m_timer.start();
}

RunControl::Interruption RunControl::finishRequest()
{
    // No tick may outlive its request: a late one would time out the next.
    m_timer.stop();
    m_count = 0;
    const Interruption why = m_interruption;
    m_interruption = Interruption::None;
    return why;
}

void RunControl::transferEnded()
{
    m_timer.stop();
    m_count = 0;
}

bool RunControl::pause(int seconds)
{
    const QDeadlineTimer deadline(qint64(seconds) * 1000);
    while (!deadline.hasExpired()) {
        if (m_skipUrl || m_skipEngine || m_stop)
            return false;
        // A pass ends early for a quit or a window's close: the run stops then.
        if (!m_http.pumpOnce()) {
            m_stop = true;
            return false;
        }
    }
    return !(m_skipUrl || m_skipEngine || m_stop);
}

void RunControl::skipUrl()
{
    m_skipUrl = true;
}

void RunControl::skipEngine()
{
    m_skipEngine = true;
}

void RunControl::stop()
{
    m_stop = true;
}

void RunControl::tick()
{
    if (m_skipUrl)
        return interrupt(Interruption::SkipUrl);
    if (m_skipEngine)
        return interrupt(Interruption::SkipEngine);
    if (m_stop)
        return interrupt(Interruption::Stop);
    ++m_count;
    if (m_observer)
        m_observer->timeoutTick(m_count, m_limit);
    // The request has had its seconds: it ends now, not a tick later.
    if (m_count >= m_limit)
        interrupt(Interruption::Timeout);
}

void RunControl::interrupt(Interruption why)
{
    m_timer.stop();
    m_count = 0;
    m_interruption = why;
    m_http.setAction(httpIdle);
}
