#include "wire/FleetAck.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

namespace {
const QString kStatus = QStringLiteral("status");
const QString kOk = QStringLiteral("ok");
} // namespace

FleetAck FleetAck::withId(IdKey key, qint64 value)
{
    FleetAck ack;
    (key == IdKey::alertId ? ack.alertId : ack.id) = value;
    return ack;
}

std::optional<FleetAck> FleetAck::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetAck"));
    const QString status = in.requiredString(kStatus);
    FleetAck ack;
    ack.id = in.optionalInteger(QStringLiteral("id"));
    ack.alertId = in.optionalInteger(QStringLiteral("alert_id"));
    ack.uuid = in.optionalString(QStringLiteral("uuid"));
    ack.receivedBytes = in.optionalInteger(QStringLiteral("received_bytes"));
    std::optional<FleetAck> decoded = in.finish(std::move(ack), error);
    if (decoded && status != kOk) {
        if (error)
            *error = QStringLiteral("FleetAck.status: expected \"ok\", got \"%1\"").arg(status);
        return std::nullopt;
    }
    return decoded;
}

QJsonObject FleetAck::toJson() const
{
    return JsonWriter()
        .putString(kStatus, kOk)
        .putInteger(QStringLiteral("id"), id)
        .putInteger(QStringLiteral("alert_id"), alertId)
        .putString(QStringLiteral("uuid"), uuid)
        .putInteger(QStringLiteral("received_bytes"), receivedBytes)
        .object();
}

} // namespace vesk
