#include "wire/policy/RestartTime.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<RestartTime> RestartTime::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RestartTime"));
    RestartTime r;
    r.id = in.requiredUuid(QStringLiteral("id"));
    r.hour = int(in.requiredInteger(QStringLiteral("hour")));
    r.minute = int(in.requiredInteger(QStringLiteral("minute")));
    return in.finish(std::move(r), error);
}

QJsonObject RestartTime::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putInteger(QStringLiteral("hour"), hour)
        .putInteger(QStringLiteral("minute"), minute)
        .object();
}

} // namespace vesk
