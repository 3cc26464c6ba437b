#pragma once

#include "fleetd/records/TelemetryRecord.h"

#include <QJsonObject>

namespace vesk::fleetd {

// A stored telemetry report in the snapshot shape the console decodes: the lists
// the agent sends as JSON arrays ("hung_apps", "running_apps", "network_interfaces",
// "network_mounts") become strings holding JSON text, apps reduced to their names;
// "is_plugged_in" becomes 1 or 0; "created_at" is the server's receive time. Other
// scalar members pass through unchanged.
QJsonObject telemetrySnapshot(const TelemetryRecord &record);

} // namespace vesk::fleetd
