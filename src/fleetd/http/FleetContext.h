#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace vesk::fleetd {

class FleetStore;

// What handlers are given: the store and the server's notion of now (tests set the time).
struct FleetContext {
    using Now = std::function<QDateTime()>;

    FleetStore &store;
    Now now;
    // The database's path: release archives and the fleet's signing key live beside it.
    // Empty: this server hosts no archives and hands out no release key.
    QString dbPath = {};
};

} // namespace vesk::fleetd
