#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/Route.h"

#include <QList>

namespace vesk::fleetd {

// The whole HTTP surface of the fleet server, in one table.
QList<Route> fleetRoutes(const FleetContext &context);

} // namespace vesk::fleetd
