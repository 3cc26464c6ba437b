#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// How long a machine or a location stays muted.
enum class SuppressionDuration {
    oneHour,
    twentyFourHours,
    untilRecovery,
    indefinitely,
};

namespace SuppressionDurations {

// Every case in picker order.
QList<SuppressionDuration> all();
// "1_hour", "24_hours", "until_recovery", "indefinitely".
QString rawValue(SuppressionDuration duration);
std::optional<SuppressionDuration> fromRawValue(const QString &raw);
// The end of a mute that began at `start`; none for the open-ended cases.
std::optional<QDateTime> expiry(SuppressionDuration duration, const QDateTime &start);
// "< 1 min left", "42 min left" or "2h 5m left" for `seconds` remaining.
QString remainingTimeText(qint64 seconds);

} // namespace SuppressionDurations
} // namespace vesk
