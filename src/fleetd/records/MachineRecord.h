#pragma once

#include <QString>

namespace vesk::fleetd {

// A row of the machine directory: what the latest heartbeat said, and when.
// Timestamps are ISO 8601 UTC text exactly as stored.
struct MachineRecord {
    QString serial;
    QString firstSeen;
    QString lastSeen;
    QString app;
    QString version;
    QString eventCode;
    QString stateJson;
};

} // namespace vesk::fleetd
