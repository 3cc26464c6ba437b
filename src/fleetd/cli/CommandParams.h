#pragma once

#include <QJsonObject>
#include <QStringList>

#include <optional>

namespace vesk::fleetd {

// Turns `--param key=value` arguments into a command's params: whole numbers become
// integers, "true" and "false" booleans, anything else stays text. A later key
// replaces an earlier one. Nothing on a malformed argument, with `error` set.
std::optional<QJsonObject> parseCommandParams(const QStringList &arguments, QString *error);

} // namespace vesk::fleetd
