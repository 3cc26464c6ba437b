#pragma once

#include "monitor/AppSnapshot.h"
#include "wire/policy/AppRestartRule.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <chrono>
#include <optional>

namespace vesk::AppRestartDecision {

// Interval restarts of one app are at least this far apart, whatever launch date the
// relaunched app reports.
inline constexpr std::chrono::seconds intervalSpacing{120};

// The latest scheduled restart moment of a `scheduled` rule that is not after `now`,
// looking at today and the six days before in `zone`; none for other rules, without
// times or days, or when no moment falls in those seven days.
std::optional<QDateTime> mostRecentScheduledTime(const AppRestartRule &rule, const QDateTime &now,
                                                 const QTimeZone &zone);

// What is known about one running app when its rule is weighed.
struct Situation {
    QDateTime now;
    QTimeZone zone;
    std::optional<AppSnapshot> sample;       // the monitor's last look at the app
    std::optional<QDateTime> lastRestart;    // when the engine last restarted it
    QLocale locale;                          // writes the scheduled time for people
};

// The reason to restart the app now, or none. Memory wins over hung as the reason; a
// hung or memory reason stays when a trigger also fires.
std::optional<QString> restartReason(const AppRestartRule &rule, const Situation &situation);

} // namespace vesk::AppRestartDecision
