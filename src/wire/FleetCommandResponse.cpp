#include "wire/FleetCommandResponse.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<FleetCommandResponse> FleetCommandResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetCommandResponse"));
    FleetCommandResponse record;
    record.queued = in.requiredBool(QStringLiteral("queued"));
    record.commandId = in.requiredInteger(QStringLiteral("command_id"));
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.command = in.requiredString(QStringLiteral("command"));
    return in.finish(std::move(record), error);
}

QJsonObject FleetCommandResponse::toJson() const
{
    return JsonWriter()
        .putBool(QStringLiteral("queued"), queued)
        .putInteger(QStringLiteral("command_id"), commandId)
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("command"), command)
        .object();
}

} // namespace vesk
