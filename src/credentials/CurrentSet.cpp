#include "credentials/CurrentSet.h"

#include <algorithm>

namespace vesk {

std::optional<CredentialSet> currentSetAt(const QList<CredentialSet> &sets, const QList<CredentialSchedule> &schedules,
                                          const QDateTime &at, const QTimeZone &zone)
{
    QList<CredentialSchedule> active;
    for (const CredentialSchedule &schedule : schedules) {
        if (schedule.isActive(at, zone))
            active.append(schedule);
    }
    // Stable, so among equal priorities the season added first keeps winning.
    std::stable_sort(active.begin(), active.end(),
                     [](const CredentialSchedule &a, const CredentialSchedule &b) { return a.priority > b.priority; });
    for (const CredentialSchedule &schedule : active) {
        const auto named = std::find_if(sets.cbegin(), sets.cend(), [&](const CredentialSet &set) {
            return set.name == schedule.credentialSetName;
        });
        if (named != sets.cend())
            return *named;
    }
    if (sets.isEmpty())
        return std::nullopt;
    return sets.first();
}

} // namespace vesk
