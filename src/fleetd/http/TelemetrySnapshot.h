#pragma once

#include "fleetd/records/TelemetryRecord.h"
#include "wire/DeviceTelemetrySnapshot.h"

namespace vesk::fleetd {

// A stored telemetry report as the agent decodes a snapshot: the report's scalar
// members under the snapshot's keys; the lists the agent sends as JSON arrays
// ("hung_apps", "running_apps", "network_interfaces", "network_mounts") become JSON
// text, apps reduced to their names and every interface given all four members;
// "is_plugged_in" becomes 1 or 0; "created_at" is the server's receive time. A report
// whose scalars the snapshot cannot read keeps only its lists.
DeviceTelemetrySnapshot toWire(const TelemetryRecord &record);

} // namespace vesk::fleetd
