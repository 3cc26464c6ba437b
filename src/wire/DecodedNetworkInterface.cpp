#include "wire/DecodedNetworkInterface.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<DecodedNetworkInterface> DecodedNetworkInterface::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("DecodedNetworkInterface"));
    DecodedNetworkInterface record;
    record.name = in.requiredString(QStringLiteral("name"));
    record.type = in.requiredString(QStringLiteral("type"));
    record.ip_address = in.requiredString(QStringLiteral("ip_address"));
    record.is_active = in.requiredBool(QStringLiteral("is_active"));
    return in.finish(std::move(record), error);
}

QJsonObject DecodedNetworkInterface::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("type"), type)
        .putString(QStringLiteral("ip_address"), ip_address)
        .putBool(QStringLiteral("is_active"), is_active)
        .object();
}

} // namespace vesk
