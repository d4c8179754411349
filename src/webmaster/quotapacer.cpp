#include "webmaster/quotapacer.h"

#include <QDateTime>
#include <QTimeZone>

namespace webmaster {

namespace {
constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;
} // namespace

QuotaPacer::QuotaPacer(int perMinute, int perDay) : m_perMinute(qMax(perMinute, 1)), m_perDay(qMax(perDay, 0))
{}

qint64 QuotaPacer::quotaDay(qint64 nowMs)
{
    static const QTimeZone pacific("America/Los_Angeles");
    // Without the time-zone database, standard time all year: an hour off in summer at worst.
    const qint64 offsetMs = pacific.isValid()
                                ? qint64(pacific.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(nowMs, Qt::UTC))) * 1000
                                : -8 * 60 * MinuteMs;
    const qint64 local = nowMs + offsetMs;
    return local >= 0 ? local / DayMs : (local - DayMs + 1) / DayMs;
}

qint64 QuotaPacer::waitBefore(qint64 nowMs) const
{
    if (m_lastMinute.size() < m_perMinute)
        return 0;
    // The oldest of the last perMinute must be a minute old before another may go.
    return qMax<qint64>(m_lastMinute.first() + MinuteMs - nowMs, 0);
}

int QuotaPacer::usedToday(qint64 nowMs) const
{
    return quotaDay(nowMs) == m_day ? m_dayCount : 0;
}

bool QuotaPacer::dayUsedUp(qint64 nowMs) const
{
    return usedToday(nowMs) >= m_perDay;
}

void QuotaPacer::record(qint64 nowMs)
{
    m_lastMinute.append(nowMs);
    if (m_lastMinute.size() > m_perMinute)
        m_lastMinute.removeFirst();
    const qint64 day = quotaDay(nowMs);
    if (day != m_day) {
        m_day = day;
        m_dayCount = 0;
    }
    ++m_dayCount;
}

} // namespace webmaster
