#pragma once

#include <QList>
#include <QString>

namespace vesk::PauseDurations {

// The user default that lists the pause durations offered, in whole minutes.
inline constexpr char settingsKey[] = "pauseDurationsMinutes";
inline constexpr char defaultText[] = "5,15,30,60";

// The durations of a setting such as "5, 15,30,,60": comma-separated whole minutes, blanks
// around them ignored, entries that are not a whole number of minutes from 1 to a week
// dropped, repeats dropped, in the order given. A setting with none left offers the default.
QList<int> parse(const QString &text);

} // namespace vesk::PauseDurations
