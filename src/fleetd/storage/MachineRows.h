#pragma once

#include "fleetd/records/MachineRecord.h"
#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

// The machine directory's columns, in the order readMachine() reads them, for a
// query that names the machines table `m`.
inline const QString kMachineColumns =
    QStringLiteral("m.serial, m.first_seen, m.last_seen, m.app, m.version, m.event_code, m.state_json");

inline MachineRecord readMachine(const SqlStatement &row)
{
    return {row.value(0).toString(), row.value(1).toString(), row.value(2).toString(), row.value(3).toString(),
            row.value(4).toString(), row.value(5).toString(), row.value(6).toString()};
}

} // namespace vesk::fleetd
