#include "wire/PushTokenRegistration.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<PushTokenRegistration> PushTokenRegistration::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("PushTokenRegistration"));
    PushTokenRegistration record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.token = in.requiredString(QStringLiteral("token"));
    record.isAgent = in.requiredBool(QStringLiteral("is_agent"));
    record.platform = in.requiredString(QStringLiteral("platform"));
    record.alertScope = in.requiredString(QStringLiteral("alert_scope"));
    record.tenantCode = in.optionalString(QStringLiteral("photographer"));
    record.eventcode = in.optionalString(QStringLiteral("eventcode"));
    return in.finish(std::move(record), error);
}

QJsonObject PushTokenRegistration::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("token"), token)
        .putBool(QStringLiteral("is_agent"), isAgent)
        .putString(QStringLiteral("platform"), platform)
        .putString(QStringLiteral("alert_scope"), alertScope)
        .putString(QStringLiteral("photographer"), tenantCode)
        .putString(QStringLiteral("eventcode"), eventcode)
        .object();
}

} // namespace vesk
