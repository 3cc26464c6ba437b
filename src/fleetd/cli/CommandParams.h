#pragma once

#include "wire/AnyCodable.h"

#include <QMap>
#include <QStringList>

#include <optional>

namespace vesk::fleetd {

// Turns `--param key=value` arguments into a command's params, as FleetCommand carries
// them. Every value stays text, as typed: the agent reads each parameter as text, and a
// version such as "010" or a flag such as "false" must reach it unchanged. A later key replaces an earlier one. Nothing on
// a malformed argument, with `error` set.
std::optional<QMap<QString, AnyCodable>> parseCommandParams(const QStringList &arguments, QString *error);

} // namespace vesk::fleetd
