#include "wire/RemoteNotification.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<RemoteNotification> RemoteNotification::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RemoteNotification"));
    RemoteNotification record;
    record.type = in.lenientString(QStringLiteral("type"));
    return in.finish(std::move(record), error);
}

QJsonObject RemoteNotification::toJson() const
{
    return JsonWriter().putString(QStringLiteral("type"), type).object();
}

} // namespace vesk
