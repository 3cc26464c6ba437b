#include "settings/LocationNotificationRule.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

bool LocationNotificationRule::isMuted(const QDateTime &now) const
{
    if (!mutedDuration || !mutedAt)
        return false;
    const std::optional<QDateTime> end = SuppressionDurations::expiry(*mutedDuration, *mutedAt);
    return !end || now < *end;
}

bool LocationNotificationRule::allowsCategory(const QString &category, const QDateTime &now) const
{
    return !isMuted(now) && !disabledCategories.contains(category);
}

QString LocationNotificationRule::statusText(const QDateTime &now) const
{
    if (!isMuted(now))
        return {};
    const std::optional<QDateTime> end = SuppressionDurations::expiry(*mutedDuration, *mutedAt);
    if (!end)
        return QStringLiteral("Muted until turned back on");
    return SuppressionDurations::remainingTimeText(now.secsTo(*end));
}

std::optional<LocationNotificationRule> LocationNotificationRule::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("LocationNotificationRule"));
    LocationNotificationRule r;
    r.locationCode = in.requiredString(QStringLiteral("locationCode"));
    r.locationName = in.requiredString(QStringLiteral("locationName"));
    if (const std::optional<QString> raw = in.optionalString(QStringLiteral("mutedDuration"))) {
        r.mutedDuration = SuppressionDurations::fromRawValue(*raw);
        if (!r.mutedDuration)
            in.fail(QStringLiteral("mutedDuration"), QStringLiteral("unknown duration \"%1\"").arg(*raw));
    }
    r.mutedAt = in.optionalDate(QStringLiteral("mutedAt"));
    r.disabledCategories = in.requiredStringList(QStringLiteral("disabledCategories"));
    return in.finish(std::move(r), error);
}

QJsonObject LocationNotificationRule::toJson() const
{
    std::optional<QString> duration;
    if (mutedDuration)
        duration = SuppressionDurations::rawValue(*mutedDuration);
    return JsonWriter()
        .putString(QStringLiteral("locationCode"), locationCode)
        .putString(QStringLiteral("locationName"), locationName)
        .putString(QStringLiteral("mutedDuration"), duration)
        .putDate(QStringLiteral("mutedAt"), mutedAt)
        .putStringList(QStringLiteral("disabledCategories"), disabledCategories)
        .object();
}

} // namespace vesk
