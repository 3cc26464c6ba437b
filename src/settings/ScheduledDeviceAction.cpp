#include "settings/ScheduledDeviceAction.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<ScheduledDeviceAction> ScheduledDeviceAction::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("ScheduledDeviceAction"));
    ScheduledDeviceAction r;
    r.id = in.requiredUuid(QStringLiteral("id"));
    r.command = in.requiredString(QStringLiteral("command"));
    r.bundleId = in.optionalString(QStringLiteral("bundleId"));
    r.at = in.requiredDate(QStringLiteral("at"));
    return in.finish(std::move(r), error);
}

QJsonObject ScheduledDeviceAction::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putString(QStringLiteral("command"), command)
        .putString(QStringLiteral("bundleId"), bundleId)
        .putDate(QStringLiteral("at"), at)
        .object();
}

} // namespace vesk
