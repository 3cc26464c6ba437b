#pragma once

#include "fleetd/records/MachineRecord.h"

#include <QJsonObject>

namespace vesk::fleetd {

// Stored records the agent never decodes, in the console's shape (snake_case keys);
// everything the agent reads goes through its wire records instead (the *Wire files).
QJsonObject machineJson(const MachineRecord &machine, const QString &status);

} // namespace vesk::fleetd
