#include "wire/policy/DevicePolicyResponse.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<DevicePolicyResponse> DevicePolicyResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("DevicePolicyResponse"));
    DevicePolicyResponse r;
    r.policy = in.optionalRecord<DevicePolicy>(QStringLiteral("policy"));
    return in.finish(std::move(r), error);
}

QJsonObject DevicePolicyResponse::toJson() const
{
    return JsonWriter().putRecord(QStringLiteral("policy"), policy).object();
}

} // namespace vesk
