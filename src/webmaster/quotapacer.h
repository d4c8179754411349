#pragma once

#include <QList>
#include <QtGlobal>

namespace webmaster {

// Paces the URL inspections of one property within Search Console's quota:
// at most perMinute in any 60 seconds and perDay in one quota day (Google's
// days end at midnight Pacific time). A value with no clock of its own: the
// caller passes the time, in milliseconds since the epoch, so a test steps
// through a day without waiting. Google's 429 stays the final word; this only
// keeps a run from earning one.
class QuotaPacer
{
public:
    static constexpr int InspectionsPerMinute = 600;
    static constexpr int InspectionsPerDay = 2000;

    explicit QuotaPacer(int perMinute = InspectionsPerMinute, int perDay = InspectionsPerDay);

    // Milliseconds to wait from nowMs before the next inspection so that no
    // 60 seconds hold more than perMinute of them; 0 when it may go now.
    qint64 waitBefore(qint64 nowMs) const;
    // True when the quota day of nowMs has had perDay inspections already.
    bool dayUsedUp(qint64 nowMs) const;
    // Counts an inspection sent at nowMs (whatever its answer: Google counts it too).
    void record(qint64 nowMs);
    // Inspections counted in the quota day of nowMs.
    int usedToday(qint64 nowMs) const;

    // The quota day a moment falls in: days since the epoch, in Pacific time.
    static qint64 quotaDay(qint64 nowMs);

private:
    int m_perMinute;
    int m_perDay;
    QList<qint64> m_lastMinute; // the latest sending times, oldest first, perMinute at most
    qint64 m_day = -1;
    int m_dayCount = 0;
};

} // namespace webmaster
