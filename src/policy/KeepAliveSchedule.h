#pragma once

#include "wire/policy/KeepAliveRule.h"

namespace vesk::KeepAliveSchedule {

// Whether a daily window holds the given minute of the day (0–1439). The end is
// exclusive; an end before the start runs over midnight; an end equal to the start
// never matches.
bool windowMatches(const TimeWindow &window, int minuteOfDay);

// Whether the rule wants its apps running at this local hour, minute and calendar
// weekday (1 = Sunday … 7 = Saturday). A rule without windows applies all day.
bool applies(const KeepAliveRule &rule, int hour, int minute, int weekday);

} // namespace vesk::KeepAliveSchedule
