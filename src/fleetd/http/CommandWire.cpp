#include "fleetd/http/CommandWire.h"

namespace vesk::fleetd {

FleetCommand toWire(const CommandRecord &command)
{
    // Parameters are always sent, an empty object when there are none.
    return {command.id, command.command, paramsToWire(command.params)};
}

QMap<QString, AnyCodable> paramsToWire(const QJsonObject &params)
{
    QMap<QString, AnyCodable> out;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it)
        out.insert(it.key(), AnyCodable::fromJsonValue(it.value()));
    return out;
}

QJsonObject paramsFromWire(const QMap<QString, AnyCodable> &params)
{
    QJsonObject out;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it)
        out.insert(it.key(), it.value().toJsonValue());
    return out;
}

} // namespace vesk::fleetd
