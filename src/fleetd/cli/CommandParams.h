#pragma once

#include <QJsonObject>
#include <QStringList>

#include <optional>

namespace vesk::fleetd {

// Turns `--param key=value` arguments into a command's params. Every value stays text, as
// typed: the agent reads each parameter as text, and a version such as "010" or a flag
// such as "false" must reach it unchanged. A later key replaces an earlier one. Nothing on
// a malformed argument, with `error` set.
std::optional<QJsonObject> parseCommandParams(const QStringList &arguments, QString *error);

} // namespace vesk::fleetd
