#pragma once

#include "fleetd/records/AppLogRecord.h"
#include "wire/AppLogEntry.h"

namespace vesk::fleetd {

// A stored log upload as the agent decodes it.
AppLogEntry toWire(const AppLogRecord &log);

} // namespace vesk::fleetd
