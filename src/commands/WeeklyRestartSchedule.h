#pragma once

#include <QDateTime>

namespace vesk {

class DefaultsStore;

// The weekly restart configured on this machine ("scheduledRestartEnabled", "…Hour",
// "…Minute", "…Days" as a weekday mask, Sunday = 1) and its guard "lastScheduledRestart".
class WeeklyRestartSchedule {
public:
    // True when the restart is due at `localNow` (weekday, hour and minute match) and
    // the last one is more than 120 s ago; the time is then recorded before anything
    // else happens, so a second pass in the same minute finds it and does nothing.
    static bool claimIfDue(DefaultsStore &defaults, const QDateTime &localNow);
};

} // namespace vesk
