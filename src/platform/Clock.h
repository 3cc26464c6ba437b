#pragma once

#include "platform/SourceSite.h"
#include "platform/StopToken.h"

#include <QDateTime>
#include <QTimeZone>

#include <chrono>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>

namespace vesk {

class SleepAwaitable;

// Wall-clock time, the calendar's time zone and sleeping on the continuous clock.
// Services never read the system time or start timers themselves: tests hand in a
// manual clock and advance it.
class Clock {
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;
    virtual QTimeZone timeZone() const = 0;

    // Calls `wake` once `delay` has passed on the continuous clock. Returns a handle for cancelWake.
    virtual std::uint64_t scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake) = 0;
    virtual void cancelWake(std::uint64_t id) = 0;
    // scheduleWake for a sleep, told where the sleeper waits; a clock that reports its
    // sleepers overrides it.
    virtual std::uint64_t scheduleSleep(std::chrono::milliseconds delay, std::function<void()> wake,
                                        const SourceSite & /*site*/)
    {
        return scheduleWake(delay, std::move(wake));
    }

    // How long a period of `length` lasts on this clock: the length itself, shorter on a clock
    // that runs the agent's loops faster. Rules that compare now() with the last time they ran
    // read their period through this, so they keep pace with the loops' sleeps.
    virtual std::chrono::milliseconds period(std::chrono::milliseconds length) const { return length; }

    // co_await clock.sleep(d, token): true when the whole delay passed, false when the
    // token was stopped first (or already stopped).
    SleepAwaitable sleep(std::chrono::milliseconds delay, StopToken token = {},
                         SourceSite site = SourceSite::current());

    // Local time of `now()` in the clock's time zone.
    QDateTime localNow() const { return now().toTimeZone(timeZone()); }
};

class SleepAwaitable {
public:
    SleepAwaitable(Clock &clock, std::chrono::milliseconds delay, StopToken token, SourceSite site)
        : m_clock(clock), m_delay(delay), m_token(std::move(token)), m_site(site) {}

    bool await_ready() const { return m_token.stopRequested(); }
    void await_suspend(std::coroutine_handle<> handle);
    bool await_resume() const { return m_state && m_state->completed; }

private:
    struct State {
        std::coroutine_handle<> handle;
        bool done = false;
        bool completed = false;
        std::uint64_t wakeId = 0;
        std::uint64_t stopId = 0;
    };
    Clock &m_clock;
    std::chrono::milliseconds m_delay;
    StopToken m_token;
    SourceSite m_site;
    std::shared_ptr<State> m_state;
};

inline SleepAwaitable Clock::sleep(std::chrono::milliseconds delay, StopToken token, SourceSite site)
{
    return SleepAwaitable(*this, delay, std::move(token), site);
}

} // namespace vesk
