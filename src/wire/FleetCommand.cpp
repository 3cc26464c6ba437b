#include "wire/FleetCommand.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<FleetCommand> FleetCommand::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetCommand"));
    FleetCommand record;
    record.id = in.requiredInteger(QStringLiteral("id"));
    record.command = in.requiredString(QStringLiteral("command"));
    record.params = in.optionalMap<AnyCodable>(QStringLiteral("params"));
    return in.finish(std::move(record), error);
}

QJsonObject FleetCommand::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("id"), id)
        .putString(QStringLiteral("command"), command)
        .putMap(QStringLiteral("params"), params)
        .object();
}

std::optional<FleetPendingCommands> FleetPendingCommands::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetPendingCommands"));
    FleetPendingCommands record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.commands = in.requiredList<FleetCommand>(QStringLiteral("commands"));
    return in.finish(std::move(record), error);
}

QJsonObject FleetPendingCommands::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putList(QStringLiteral("commands"), commands)
        .object();
}

} // namespace vesk
