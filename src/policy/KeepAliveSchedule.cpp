#include "policy/KeepAliveSchedule.h"

#include <algorithm>

namespace vesk::KeepAliveSchedule {

bool windowMatches(const TimeWindow &window, int minuteOfDay)
{
    const int start = window.startHour * 60 + window.startMinute;
    const int end = window.endHour * 60 + window.endMinute;
    if (end >= start)
        return start <= minuteOfDay && minuteOfDay < end;
    return minuteOfDay >= start || minuteOfDay < end;
}

bool applies(const KeepAliveRule &rule, int hour, int minute, int weekday)
{
    if (!rule.days.containsCalendarWeekday(weekday))
        return false;
    if (rule.windows.isEmpty())
        return true;
    const int now = hour * 60 + minute;
    return std::any_of(rule.windows.begin(), rule.windows.end(),
                       [now](const TimeWindow &window) { return windowMatches(window, now); });
}

} // namespace vesk::KeepAliveSchedule
