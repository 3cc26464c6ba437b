#pragma once

#include "fleetd/records/MachineRecord.h"
#include "wire/FleetMachine.h"

namespace vesk::fleetd {

// A stored machine as the directory lists it, with its online/offline status.
FleetMachine toWire(const MachineRecord &machine, const QString &status);

} // namespace vesk::fleetd
