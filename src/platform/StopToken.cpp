#include "platform/StopToken.h"

namespace vesk {

void StopState::requestStop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    // Callbacks may resume coroutines that add or remove callbacks; take them out first.
    auto callbacks = std::move(m_callbacks);
    m_callbacks.clear();
    for (auto &[id, callback] : callbacks)
        callback();
}

std::uint64_t StopState::addCallback(std::function<void()> callback)
{
    if (m_stopped) {
        callback();
        return 0;
    }
    const auto id = m_nextId++;
    m_callbacks.emplace(id, std::move(callback));
    return id;
}

void StopState::removeCallback(std::uint64_t id)
{
    m_callbacks.erase(id);
}

} // namespace vesk
