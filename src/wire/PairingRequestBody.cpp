#include "wire/PairingRequestBody.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<PairingRequestBody> PairingRequestBody::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("PairingRequestBody"));
    PairingRequestBody record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.bundleId = in.requiredString(QStringLiteral("bundle_id"));
    record.appVersion = in.requiredString(QStringLiteral("app_version"));
    record.clientClock = in.requiredIsoDate(QStringLiteral("client_clock_iso"));
    return in.finish(std::move(record), error);
}

QJsonObject PairingRequestBody::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("bundle_id"), bundleId)
        .putString(QStringLiteral("app_version"), appVersion)
        .putIsoDate(QStringLiteral("client_clock_iso"), clientClock)
        .object();
}

} // namespace vesk
