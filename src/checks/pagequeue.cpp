#include "checks/pagequeue.h"

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

std::optional<PageQueue::Task> PageQueue::nextReady()
{
    const Clock::time_point now = Clock::now();
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
        m_nextHost = at + 1;
        ++host.active;
        if (host.robotsState == Host::RobotsState::Unknown) {
            host.robotsState = Host::RobotsState::Reading;
            return Task{Task::Kind::Robots, -1, key, {}};
        }
        const int index = host.waiting.front();
        host.waiting.pop_front();
        return Task{Task::Kind::Page, index, key, host.robots};
    }
    return std::nullopt;
}

std::optional<PageQueue::Task> PageQueue::take()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_stopped.load() || m_remaining == 0)
            return std::nullopt;
        if (std::optional<Task> task = nextReady())
            return task;
        if (m_delayed.empty())
            m_changed.wait(lock);
        else
            m_changed.wait_until(lock, m_delayed.begin()->first);
    }
}

std::optional<PageQueue::Task> PageQueue::tryTake()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopped.load() || m_remaining == 0)
        return std::nullopt;
    return nextReady();
}

void PageQueue::robotsRead(const QByteArray &host, Robots robots)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Host &entry = m_hosts[host];
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

void PageQueue::stop()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

} // namespace checks
