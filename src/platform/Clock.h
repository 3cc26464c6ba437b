#pragma once

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

    // co_await clock.sleep(d, token): true when the whole delay passed, false when the
    // token was stopped first (or already stopped).
    SleepAwaitable sleep(std::chrono::milliseconds delay, StopToken token = {});

    // Local time of `now()` in the clock's time zone.
    QDateTime localNow() const { return now().toTimeZone(timeZone()); }
};

class SleepAwaitable {
public:
    SleepAwaitable(Clock &clock, std::chrono::milliseconds delay, StopToken token)
        : m_clock(clock), m_delay(delay), m_token(std::move(token)) {}

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
    std::shared_ptr<State> m_state;
};

inline SleepAwaitable Clock::sleep(std::chrono::milliseconds delay, StopToken token)
{
    return SleepAwaitable(*this, delay, std::move(token));
}

} // namespace vesk
