#include "wire/ReportedNetworkInterface.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<ReportedNetworkInterface> ReportedNetworkInterface::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("ReportedNetworkInterface"));
    ReportedNetworkInterface record;
    record.name = in.requiredString(QStringLiteral("name"));
    record.type = in.requiredString(QStringLiteral("type"));
    record.ipAddress = in.optionalString(QStringLiteral("ip_address"));
    record.isActive = in.requiredBool(QStringLiteral("is_active"));
    return in.finish(std::move(record), error);
}

QJsonObject ReportedNetworkInterface::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("type"), type)
        .putString(QStringLiteral("ip_address"), ipAddress)
        .putBool(QStringLiteral("is_active"), isActive)
        .object();
}

} // namespace vesk
