#pragma once

#include "platform/Clock.h"

#include <map>
#include <utility>

namespace vesk::test {

// Virtual time for tests: now() moves only through advance(), and sleepers wake in
// deadline order (then in the order they went to sleep), each seeing now() equal to
// its own deadline. A clock destroyed with sleepers still waiting fails the test,
// because a service left a loop running.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc()),
                         QTimeZone zone = QTimeZone::utc());
    ~ManualClock() override;

    QDateTime now() const override { return m_now; }
    QTimeZone timeZone() const override { return m_zone; }
    std::uint64_t scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake) override;
    void cancelWake(std::uint64_t id) override;

    void advance(std::chrono::milliseconds by);
    void setTimeZone(const QTimeZone &zone) { m_zone = zone; }
    std::size_t sleeperCount() const { return m_sleepers.size(); }
    // Earliest pending deadline, relative to now; -1 ms when nothing sleeps.
    std::chrono::milliseconds nextWakeIn() const;
    // Cancels every sleeper silently (for tests that end with loops deliberately left running).
    void dropSleepers() { m_sleepers.clear(); }

private:
    using Key = std::pair<qint64, std::uint64_t>; // deadline (ms since epoch), sequence
    QDateTime m_now;
    QTimeZone m_zone;
    std::uint64_t m_nextId = 1;
    std::map<Key, std::function<void()>> m_sleepers;
    std::map<std::uint64_t, Key> m_keys;
};

} // namespace vesk::test
