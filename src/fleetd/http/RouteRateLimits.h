#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/Route.h"

#include <QList>

namespace vesk::fleetd {

// The unauthenticated routes' rate limits, laid over the route table by serve:
//   heartbeat           429 past kHeartbeatsPerSerial a minute for one serial, or
//                       kHeartbeatsPerAddress a minute from one source address;
//   fetch_fleet_secret  429 past kSecretFetchesPerAddress a minute from one source address
//                       (its handler also limits each serial).
// An agent beats every 15 minutes; venues put many machines behind one address.
struct RouteRateLimits {
    static constexpr int kHeartbeatsPerSerial = 12;
    static constexpr int kHeartbeatsPerAddress = 600;
    static constexpr int kSecretFetchesPerAddress = 60;
    static constexpr qint64 kWindowMs = 60 * 1000;

    static QList<Route> apply(QList<Route> routes, const FleetContext &context);
};

} // namespace vesk::fleetd
