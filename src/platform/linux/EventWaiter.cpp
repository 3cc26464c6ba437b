#include "platform/linux/EventWaiter.h"

#include <qcoro/qcorosignal.h>

namespace vesk {

void EventWaiter::wake()
{
    m_woken = true;
    emit woken();
}

QCoro::Task<bool> EventWaiter::wait(std::chrono::milliseconds timeout)
{
    if (m_woken)
        co_return true;
    const auto woke = co_await qCoro(this, &EventWaiter::woken, timeout);
    co_return woke.has_value();
}

} // namespace vesk
