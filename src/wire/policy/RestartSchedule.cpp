#include "wire/policy/RestartSchedule.h"

#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

std::optional<RestartSchedule> RestartSchedule::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RestartSchedule"));
    RestartSchedule r;
    r.enabled = in.requiredBool(QStringLiteral("enabled"));
    r.hour = int(in.requiredInteger(QStringLiteral("hour")));
    r.minute = int(in.requiredInteger(QStringLiteral("minute")));
    r.days = PolicyJson::requiredWeekdays(in, QStringLiteral("days"));
    return in.finish(std::move(r), error);
}

QJsonObject RestartSchedule::toJson() const
{
    return JsonWriter()
        .putBool(QStringLiteral("enabled"), enabled)
        .putInteger(QStringLiteral("hour"), hour)
        .putInteger(QStringLiteral("minute"), minute)
        .putInteger(QStringLiteral("days"), days.rawValue())
        .object();
}

} // namespace vesk
