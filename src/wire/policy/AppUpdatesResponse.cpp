#include "wire/policy/AppUpdatesResponse.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<AppUpdatesResponse> AppUpdatesResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AppUpdatesResponse"));
    AppUpdatesResponse r;
    r.updates = in.requiredList<AvailableUpdate>(QStringLiteral("updates"));
    return in.finish(std::move(r), error);
}

QJsonObject AppUpdatesResponse::toJson() const
{
    return JsonWriter().putList(QStringLiteral("updates"), updates).object();
}

} // namespace vesk
