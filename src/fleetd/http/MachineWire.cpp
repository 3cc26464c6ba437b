#include "fleetd/http/MachineWire.h"

namespace vesk::fleetd {

FleetMachine toWire(const MachineRecord &machine, const QString &status)
{
    // Machines are addressed, and until they are named, shown by their serial.
    return FleetMachine{machine.serial,  machine.serial,    machine.serial,   machine.app, machine.version,
                        machine.eventCode, machine.firstSeen, machine.lastSeen, status};
}

} // namespace vesk::fleetd
