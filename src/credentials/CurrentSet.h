#pragma once

#include "credentials/CredentialSchedule.h"
#include "credentials/CredentialSet.h"

#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include <optional>

namespace vesk {

// The set current at `at`: the set named by the highest-priority season active then
// (among equal priorities, the season listed first), else the first set; none without sets.
std::optional<CredentialSet> currentSetAt(const QList<CredentialSet> &sets, const QList<CredentialSchedule> &schedules,
                                          const QDateTime &at, const QTimeZone &zone);

} // namespace vesk
