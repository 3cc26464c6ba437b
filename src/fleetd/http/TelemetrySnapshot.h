#pragma once

#include "fleetd/records/TelemetryRecord.h"
#include "wire/DeviceTelemetrySnapshot.h"

namespace vesk::fleetd {

// A stored telemetry report as the agent decodes a snapshot: the report's values, its
// lists as JSON text (running apps reduced to their names, every interface given all four
// members), "plugged in" as 1 or 0, and the server's receive time. A stored body that no
// longer decodes as a report gives only the serial and that time.
DeviceTelemetrySnapshot toWire(const TelemetryRecord &record);

} // namespace vesk::fleetd
