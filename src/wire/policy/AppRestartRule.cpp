#include "wire/policy/AppRestartRule.h"

#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

QString AppRestartRule::rawValue(Trigger trigger)
{
    return trigger == Trigger::scheduled ? QStringLiteral("scheduled") : QStringLiteral("interval");
}

std::optional<AppRestartRule::Trigger> AppRestartRule::triggerFromRawValue(const QString &raw)
{
    for (Trigger trigger : {Trigger::interval, Trigger::scheduled}) {
        if (rawValue(trigger) == raw)
            return trigger;
    }
    return std::nullopt;
}

std::optional<AppRestartRule> AppRestartRule::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AppRestartRule"));
    AppRestartRule r;
    r.id = PolicyJson::uuidOrNew(in, QStringLiteral("id"));
    r.bundleId = in.optionalString(QStringLiteral("bundleId")).value_or(QString());
    r.trigger = PolicyJson::enumOr(in, QStringLiteral("trigger"), Trigger::interval, triggerFromRawValue);
    r.intervalHours = int(in.optionalInteger(QStringLiteral("intervalHours")).value_or(4));
    if (PolicyJson::has(in, QStringLiteral("scheduledTimes")))
        r.scheduledTimes = in.requiredList<RestartTime>(QStringLiteral("scheduledTimes"));
    r.days = PolicyJson::weekdaysOr(in, QStringLiteral("days"), Weekdays::everyDay());
    if (PolicyJson::has(in, QStringLiteral("restartIfHung")))
        r.restartIfHung = in.requiredBool(QStringLiteral("restartIfHung"));
    r.maxMemoryMB = in.optionalInteger(QStringLiteral("maxMemoryMB"));
    return in.finish(std::move(r), error);
}

QJsonObject AppRestartRule::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putString(QStringLiteral("bundleId"), bundleId)
        .putString(QStringLiteral("trigger"), rawValue(trigger))
        .putInteger(QStringLiteral("intervalHours"), intervalHours)
        .putList(QStringLiteral("scheduledTimes"), scheduledTimes)
        .putInteger(QStringLiteral("days"), days.rawValue())
        .putBool(QStringLiteral("restartIfHung"), restartIfHung)
        .putInteger(QStringLiteral("maxMemoryMB"), maxMemoryMB)
        .object();
}

} // namespace vesk
