#pragma once

#include "fleetd/records/CommandRecord.h"
#include "wire/FleetCommand.h"

#include <QJsonObject>
#include <QMap>

namespace vesk::fleetd {

// A stored command as the agent decodes it from a poll.
FleetCommand toWire(const CommandRecord &command);

// Command parameters between the agent's form (scalars of free type; anything else reads
// as the empty string, as on the agent) and the JSON object the store keeps.
QMap<QString, AnyCodable> paramsToWire(const QJsonObject &params);
QJsonObject paramsFromWire(const QMap<QString, AnyCodable> &params);

} // namespace vesk::fleetd
