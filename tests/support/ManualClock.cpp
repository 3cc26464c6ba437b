#include "ManualClock.h"

#include <gtest/gtest.h>

namespace vesk::test {

ManualClock::ManualClock(QDateTime start, QTimeZone zone) : m_now(std::move(start)), m_zone(std::move(zone)) {}

ManualClock::~ManualClock()
{
    EXPECT_EQ(m_sleepers.size(), 0u) << "a loop was still sleeping when the test ended";
}

std::uint64_t ManualClock::scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake)
{
    const auto id = m_nextId++;
    const Key key{m_now.toMSecsSinceEpoch() + std::max<qint64>(delay.count(), 0), id};
    m_sleepers.emplace(key, std::move(wake));
    m_keys.emplace(id, key);
    return id;
}

void ManualClock::cancelWake(std::uint64_t id)
{
    auto it = m_keys.find(id);
    if (it == m_keys.end())
        return;
    m_sleepers.erase(it->second);
    m_keys.erase(it);
}

void ManualClock::advance(std::chrono::milliseconds by)
{
    const qint64 target = m_now.toMSecsSinceEpoch() + by.count();
    while (!m_sleepers.empty() && m_sleepers.begin()->first.first <= target) {
        auto node = m_sleepers.extract(m_sleepers.begin());
        m_keys.erase(node.key().second);
        m_now = QDateTime::fromMSecsSinceEpoch(node.key().first, m_now.timeZone());
        node.mapped()();
    }
    m_now = QDateTime::fromMSecsSinceEpoch(target, m_now.timeZone());
}

std::chrono::milliseconds ManualClock::nextWakeIn() const
{
    if (m_sleepers.empty())
        return std::chrono::milliseconds(-1);
    return std::chrono::milliseconds(m_sleepers.begin()->first.first - m_now.toMSecsSinceEpoch());
}

} // namespace vesk::test
