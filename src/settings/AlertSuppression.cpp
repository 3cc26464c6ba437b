#include "settings/AlertSuppression.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

bool AlertSuppression::isActive(const QDateTime &now) const
{
    const std::optional<QDateTime> end = SuppressionDurations::expiry(duration, createdAt);
    // Active up to and including the last second: age greater than the length expires it.
    return !end || now <= *end;
}

QString AlertSuppression::statusText(const QDateTime &now) const
{
    switch (duration) {
    case SuppressionDuration::indefinitely:
        return QStringLiteral("Muted indefinitely");
    case SuppressionDuration::untilRecovery:
        return QStringLiteral("Until recovery");
    case SuppressionDuration::oneHour:
    case SuppressionDuration::twentyFourHours:
        break;
    }
    if (!isActive(now))
        return QStringLiteral("Expired");
    const QDateTime end = SuppressionDurations::expiry(duration, createdAt).value_or(now);
    return SuppressionDurations::remainingTimeText(now.secsTo(end));
}

std::optional<AlertSuppression> AlertSuppression::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AlertSuppression"));
    AlertSuppression r;
    r.serial = in.requiredString(QStringLiteral("serial"));
    const QString raw = in.requiredString(QStringLiteral("duration"));
    if (const std::optional<SuppressionDuration> duration = SuppressionDurations::fromRawValue(raw))
        r.duration = *duration;
    else
        in.fail(QStringLiteral("duration"), QStringLiteral("unknown duration \"%1\"").arg(raw));
    r.createdAt = in.requiredDate(QStringLiteral("createdAt"));
    return in.finish(std::move(r), error);
}

QJsonObject AlertSuppression::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("duration"), SuppressionDurations::rawValue(duration))
        .putDate(QStringLiteral("createdAt"), createdAt)
        .object();
}

} // namespace vesk
