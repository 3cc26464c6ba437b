#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/Route.h"

#include <QList>

namespace vesk::fleetd {

// The whole HTTP surface of the fleet server, in one table.
class PushHub;

// The whole HTTP surface of the fleet server, in one table. With a push hub, queued commands
// are announced on the machine's push channel and push_session hands out its tickets.
QList<Route> fleetRoutes(const FleetContext &context, PushHub *push = nullptr);

} // namespace vesk::fleetd
