#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace vesk {

// Shared stop state of one run of a service loop. A service makes a fresh source
// for every start, so a loop from an earlier run never sees the new run's state.
class StopState {
public:
    bool stopRequested() const { return m_stopped; }
    void requestStop();
    // Runs `callback` on stop (at once when already stopped); returns a handle for removeCallback.
    std::uint64_t addCallback(std::function<void()> callback);
    void removeCallback(std::uint64_t id);

private:
    bool m_stopped = false;
    std::uint64_t m_nextId = 1;
    std::map<std::uint64_t, std::function<void()>> m_callbacks;
};

class StopToken {
public:
    StopToken() = default;
    explicit StopToken(std::shared_ptr<StopState> state) : m_state(std::move(state)) {}
    bool stopRequested() const { return m_state && m_state->stopRequested(); }
    const std::shared_ptr<StopState> &state() const { return m_state; }

private:
    std::shared_ptr<StopState> m_state;
};

class StopSource {
public:
    StopSource() : m_state(std::make_shared<StopState>()) {}
    StopToken token() const { return StopToken(m_state); }
    void requestStop() { m_state->requestStop(); }
    bool stopRequested() const { return m_state->stopRequested(); }

private:
    std::shared_ptr<StopState> m_state;
};

} // namespace vesk
