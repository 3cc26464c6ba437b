#pragma once

#include <QString>

namespace vesk::fleetd {

// One app of a machine that sends heartbeats, as its latest heartbeat described it.
struct MachineAppRecord {
    QString serial;
    QString app;
    QString version;
    QString eventCode;
    QString firstSeen;
    QString lastSeen;
};

} // namespace vesk::fleetd
