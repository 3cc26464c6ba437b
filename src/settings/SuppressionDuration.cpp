#include "settings/SuppressionDuration.h"

namespace vesk::SuppressionDurations {

QList<SuppressionDuration> all()
{
    return {SuppressionDuration::oneHour, SuppressionDuration::twentyFourHours,
            SuppressionDuration::untilRecovery, SuppressionDuration::indefinitely};
}

QString rawValue(SuppressionDuration duration)
{
    switch (duration) {
    case SuppressionDuration::oneHour:
        return QStringLiteral("1_hour");
    case SuppressionDuration::twentyFourHours:
        return QStringLiteral("24_hours");
    case SuppressionDuration::untilRecovery:
        return QStringLiteral("until_recovery");
    case SuppressionDuration::indefinitely:
        return QStringLiteral("indefinitely");
    }
    return {};
}

std::optional<SuppressionDuration> fromRawValue(const QString &raw)
{
    for (SuppressionDuration duration : all()) {
        if (rawValue(duration) == raw)
            return duration;
    }
    return std::nullopt;
}

std::optional<QDateTime> expiry(SuppressionDuration duration, const QDateTime &start)
{
    switch (duration) {
    case SuppressionDuration::oneHour:
        return start.addSecs(3600);
    case SuppressionDuration::twentyFourHours:
        return start.addSecs(86400);
    case SuppressionDuration::untilRecovery:
    case SuppressionDuration::indefinitely:
        break;
    }
    return std::nullopt;
}

QString remainingTimeText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("< 1 min left");
    if (seconds < 3600)
        return QStringLiteral("%1 min left").arg(seconds / 60);
    return QStringLiteral("%1h %2m left").arg(seconds / 3600).arg((seconds % 3600) / 60);
}

} // namespace vesk::SuppressionDurations
