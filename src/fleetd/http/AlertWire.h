#pragma once

#include "fleetd/records/AlertRecord.h"
#include "wire/FleetAlert.h"

namespace vesk::fleetd {

// A stored alert as the console reads it, under the tenant code it belongs to. Who
// acknowledged it and when are sent only while it is acknowledged.
FleetAlert toWire(const AlertRecord &alert, const QString &tenantCode);

} // namespace vesk::fleetd
