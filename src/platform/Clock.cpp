#include "platform/Clock.h"

namespace vesk {

void SleepAwaitable::await_suspend(std::coroutine_handle<> handle)
{
    m_state = std::make_shared<State>();
    m_state->handle = handle;
    auto state = m_state;
    auto stopState = m_token.state();
    Clock *clock = &m_clock;

    state->wakeId = m_clock.scheduleSleep(m_delay, [state, stopState]() {
        if (state->done)
            return;
        state->done = true;
        state->completed = true;
        if (stopState)
            stopState->removeCallback(state->stopId);
        state->handle.resume();
    }, m_site);
    if (stopState) {
        state->stopId = stopState->addCallback([state, clock]() {
            if (state->done)
                return;
            state->done = true;
            clock->cancelWake(state->wakeId);
            state->handle.resume();
        });
    }
}

} // namespace vesk
