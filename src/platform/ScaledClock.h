#pragma once

#include "platform/Clock.h"

namespace vesk {

// A clock whose waits are `factor` times shorter than asked: the accelerated soak runs the
// agent on one, so that an hour of running is `factor` hours of the agent's loops. Wall time
// and the time zone are the inner clock's own. Waits of kShortest or less are left as they
// are, and none is shortened below it: those are the pauses and polls inside one action (an
// app coming up, a process going away), which would otherwise measure the machine's speed.
// With a factor above 1, every finished sleep logs one "tick" line naming where it waited,
// so each loop's last pass can be read from the log.
class ScaledClock final : public Clock {
public:
    static constexpr std::chrono::milliseconds kShortest{500};

    // A factor below 1 (or not a number) counts as 1: every wait as asked.
    ScaledClock(Clock &inner, double factor);

    double factor() const { return m_factor; }

    QDateTime now() const override { return m_inner.now(); }
    QTimeZone timeZone() const override { return m_inner.timeZone(); }
    std::uint64_t scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake) override;
    std::uint64_t scheduleSleep(std::chrono::milliseconds delay, std::function<void()> wake,
                                const SourceSite &site) override;
    void cancelWake(std::uint64_t id) override { m_inner.cancelWake(id); }
    std::chrono::milliseconds period(std::chrono::milliseconds length) const override;

private:
    Clock &m_inner;
    double m_factor;
};

} // namespace vesk
