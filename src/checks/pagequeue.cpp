#include "checks/pagequeue.h"

#include <algorithm>

namespace checks {

PageQueue::PageQueue(const QList<QByteArray> &hosts, int perHost) : m_perHost(qMax(perHost, 1))
{
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        if (hosts.at(i).isEmpty())
            continue;
        auto found = m_hosts.find(hosts.at(i));
        if (found == m_hosts.end()) {
            found = m_hosts.insert(hosts.at(i), Host());
            m_hostOrder.append(hosts.at(i));
        }
        found->waiting.push_back(int(i));
        ++m_remaining;
    }
}

std::optional<PageQueue::Task> PageQueue::nextReady(Clock::time_point now)
{
    while (!m_delayed.empty() && m_delayed.begin()->first <= now) {
        const auto &[host, index] = m_delayed.begin()->second;
        m_hosts[host].waiting.push_back(index);
        m_delayed.erase(m_delayed.begin());
    }
    for (qsizetype step = 0; step < m_hostOrder.size(); ++step) {
        const qsizetype at = (m_nextHost + step) % m_hostOrder.size();
        const QByteArray &key = m_hostOrder.at(at);
        Host &host = m_hosts[key];
        if (host.waiting.empty() || host.active >= m_perHost)
            continue;
        if (host.robotsState == Host::RobotsState::Reading)
            continue;
        // A settled page costs the host nothing: its pause holds requests only.
        if (!host.settled && host.pausedUntil > now)
            continue;
        m_nextHost = at + 1;
        ++host.active;
        if (host.robotsState == Host::RobotsState::Unknown) {
            host.robotsState = Host::RobotsState::Reading;
            return Task{Task::Kind::Robots, -1, key, {}, std::nullopt};
        }
        const int index = host.waiting.front();
        host.waiting.pop_front();
        return Task{Task::Kind::Page, index, key, host.robots, host.settled};
    }
    return std::nullopt;
}

std::optional<PageQueue::Clock::time_point> PageQueue::nextWake(Clock::time_point now) const
{
    std::optional<Clock::time_point> wake;
    if (!m_delayed.empty())
        wake = m_delayed.begin()->first;
    for (const Host &host : m_hosts) {
        if (!host.waiting.empty() && !host.settled && host.pausedUntil > now && (!wake || host.pausedUntil < *wake))
            wake = host.pausedUntil;
    }
    return wake;
}

std::optional<PageQueue::Task> PageQueue::take()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_stopped.load() || m_remaining == 0)
            return std::nullopt;
        const Clock::time_point now = Clock::now();
        if (std::optional<Task> task = nextReady(now))
            return task;
        // The time is a copy: while this thread waits, another may erase the
        // delayed entry or change the pause it came from.
        if (const std::optional<Clock::time_point> wake = nextWake(now))
            m_changed.wait_until(lock, *wake);
        else
            m_changed.wait(lock);
    }
}

std::optional<PageQueue::Task> PageQueue::tryTake()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopped.load() || m_remaining == 0)
        return std::nullopt;
    return nextReady(Clock::now());
}

void PageQueue::robotsRead(const QByteArray &host, Robots robots)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Host &entry = m_hosts[host];
        if (robots.unreadable && !entry.settled)
            entry.settled = robots.unreadable;
        entry.robots = std::move(robots);
        entry.robotsState = Host::RobotsState::Known;
        --entry.active;
    }
    m_changed.notify_all();
}

void PageQueue::pageDone(const QByteArray &host)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        --m_hosts[host].active;
        --m_remaining;
    }
    m_changed.notify_all();
}

void PageQueue::retryLater(const QByteArray &host, int index, std::chrono::milliseconds delay)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        --m_hosts[host].active;
        m_delayed.emplace(Clock::now() + delay, std::make_pair(host, index));
    }
    m_changed.notify_all();
}

int PageQueue::busyAnswer(const QByteArray &host)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return ++m_hosts[host].busyStreak;
}

void PageQueue::calmAnswer(const QByteArray &host)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_hosts[host].busyStreak = 0;
}

void PageQueue::pauseHost(const QByteArray &host, std::chrono::milliseconds delay)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Host &entry = m_hosts[host];
        entry.pausedUntil = std::max(entry.pausedUntil, Clock::now() + delay);
    }
    // A waiting worker must learn of the new time; it may also be the earliest.
    m_changed.notify_all();
}

PageVerdict PageQueue::settleHost(const QByteArray &host, const PageVerdict &verdict)
{
    PageVerdict inForce;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Host &entry = m_hosts[host];
        if (!entry.settled)
            entry.settled = verdict;
        inForce = *entry.settled;
        // Pages waiting to be asked again are not asked again.
        for (auto at = m_delayed.begin(); at != m_delayed.end();) {
            if (at->second.first == host) {
                entry.waiting.push_back(at->second.second);
                at = m_delayed.erase(at);
            } else {
                ++at;
            }
        }
    }
    m_changed.notify_all();
    return inForce;
}

void PageQueue::stop()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

} // namespace checks
