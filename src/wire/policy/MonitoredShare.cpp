#include "wire/policy/MonitoredShare.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<MonitoredShare> MonitoredShare::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("MonitoredShare"));
    MonitoredShare r;
    r.id = in.requiredUuid(QStringLiteral("id"));
    r.name = in.requiredString(QStringLiteral("name"));
    r.address = in.requiredString(QStringLiteral("address"));
    r.username = in.optionalString(QStringLiteral("username"));
    r.enabled = in.requiredBool(QStringLiteral("enabled"));
    r.autoRemount = in.requiredBool(QStringLiteral("autoRemount"));
    return in.finish(std::move(r), error);
}

QJsonObject MonitoredShare::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("address"), address)
        .putString(QStringLiteral("username"), username)
        .putBool(QStringLiteral("enabled"), enabled)
        .putBool(QStringLiteral("autoRemount"), autoRemount)
        .object();
}

} // namespace vesk
