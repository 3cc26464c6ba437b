#pragma once

#include "platform/Clock.h"

#include <QObject>

#include <map>
#include <utility>

namespace vesk {

class BootTimer;

// The real clock: wall time from QDateTime; sleeps measured on the boot clock, which keeps
// counting while the machine is suspended, so a wait that ran out during a suspend ends
// when the machine wakes instead of the slept time later.
class SystemClock final : public QObject, public Clock {
    Q_OBJECT
public:
    explicit SystemClock(QObject *parent = nullptr);
    ~SystemClock() override;

    QDateTime now() const override;
    QTimeZone timeZone() const override;
    std::uint64_t scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake) override;
    void cancelWake(std::uint64_t id) override;

private:
    // Deadline on the boot clock, then the order of scheduling for equal deadlines.
    using Key = std::pair<std::chrono::nanoseconds, std::uint64_t>;

    void wakeDue();
    void armForEarliest();

    std::uint64_t m_nextId = 1;
    std::map<Key, std::function<void()>> m_wakes;
    std::map<std::uint64_t, std::chrono::nanoseconds> m_deadlines;
    BootTimer *m_timer = nullptr;
};

} // namespace vesk
