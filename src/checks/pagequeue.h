#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "checks/pageverdict.h"
#include "checks/robotstxt.h"

namespace checks {

// The work of one check, shared by its workers: the pages of each host, the
// per-host limit, robots.txt read once per host before any of its pages, the
// pages that wait to be asked again, and the hosts that asked to be left
// alone for a while (paused) or for the rest of the check (settled). Every
// member may be called from any thread.
class PageQueue
{
public:
    using Clock = std::chrono::steady_clock;

    // What the host's robots.txt says for its pages.
    struct Robots
    {
        std::shared_ptr<const RobotsTxt> rules;
        std::optional<PageVerdict> unreadable; // set: every page of the host gets this verdict
    };

    struct Task
    {
        enum class Kind { Robots, Page } kind = Kind::Page;
        int index = -1;  // of the page (Page)
        QByteArray host; // the host key, "scheme://host:port"
        Robots robots;   // Page only
        // Page only: set when the page is judged without a request, because its
        // host's robots.txt cannot be read or the host is left alone.
        std::optional<PageVerdict> settled;
    };

    // hosts[i] is page i's host key; "" leaves the page out (it is settled elsewhere).
    PageQueue(const QList<QByteArray> &hosts, int perHost);

    // The next task, as soon as one may start: blocks while every waiting page
    // is held by its host's limit, its robots.txt, its host's pause or its own
    // wait to be asked again. nullopt
    // when every page is done, or the queue was stopped.
    std::optional<Task> take();
    // The same without waiting: nullopt when no task may start now.
    std::optional<Task> tryTake();

    void robotsRead(const QByteArray &host, Robots robots);
    void pageDone(const QByteArray &host);
    // The page goes back into the queue, to start no earlier than delay from now.
    void retryLater(const QByteArray &host, int index, std::chrono::milliseconds delay);

    // An answer that says the host is busy or failing (a 5xx, a 429): returns
    // how many such answers the host gave in a row, this one included.
    int busyAnswer(const QByteArray &host);
    // Any other answer ends the host's row of busy answers.
    void calmAnswer(const QByteArray &host);
    // No page of the host starts before delay from now; a later end of a pause
    // already set stands.
    void pauseHost(const QByteArray &host, std::chrono::milliseconds delay);
    // The host is left alone for the rest of the check: every page of it not
    // started yet, the waiting ones included, is handed out settled with the
    // verdict, at once. A host already settled keeps its first verdict; the
    // verdict in force is returned.
    PageVerdict settleHost(const QByteArray &host, const PageVerdict &verdict);

    // Ends every wait; take() hands out nothing more.
    void stop();
    bool stopped() const { return m_stopped.load(); }

private:
    struct Host
    {
        std::deque<int> waiting;
        enum class RobotsState { Unknown, Reading, Known } robotsState = RobotsState::Unknown;
        Robots robots;
        int active = 0;
        Clock::time_point pausedUntil{}; // no page starts before
        int busyStreak = 0;              // busy answers in a row
        std::optional<PageVerdict> settled;
    };

    std::optional<Task> nextReady(Clock::time_point now);
    // When a page held by a wait may start next; nullopt when only a page's
    // end or a robots.txt can free one.
    std::optional<Clock::time_point> nextWake(Clock::time_point now) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QByteArray, Host> m_hosts;
    QList<QByteArray> m_hostOrder; // round robin, so one big host does not starve the others
    qsizetype m_nextHost = 0;
    std::multimap<Clock::time_point, std::pair<QByteArray, int>> m_delayed;
    qsizetype m_remaining = 0; // pages not done
    int m_perHost;
    std::atomic<bool> m_stopped{false};
};

} // namespace checks
