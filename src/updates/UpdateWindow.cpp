#include "updates/UpdateWindow.h"

#include "wire/policy/UpdatePolicy.h"

namespace vesk::UpdateWindow {

bool isOpen(const UpdatePolicy &policy, const QDateTime &local)
{
    if (policy.mode != UpdatePolicy::Mode::automatic)
        return false;
    // Sunday = bit 0 … Saturday = bit 6; Qt counts Monday = 1 … Sunday = 7.
    const int weekdayBit = 1 << (local.date().dayOfWeek() % 7);
    if ((policy.days.rawValue() & weekdayBit) == 0)
        return false;
    const int hour = local.time().hour();
    const int start = policy.windowStart;
    const int end = policy.windowEnd;
    if (end >= start)
        return start <= hour && hour < end;
    return hour >= start || hour < end;
}

} // namespace vesk::UpdateWindow
