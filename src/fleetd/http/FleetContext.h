#pragma once

#include "fleetd/storage/CommandStore.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>

namespace vesk::fleetd {

class FleetStore;

// What handlers are given: the store, the server's notion of now (tests set the time)
// and how long a delivered command waits for its result before it is handed out again.
struct FleetContext {
    using Now = std::function<QDateTime()>;

    FleetStore &store;
    Now now;
    std::chrono::seconds redeliverAfter = CommandStore::kDefaultRedeliverAfter;
    // The database's path: release archives and the fleet's signing key live beside it.
    // Empty: this server hosts no archives and hands out no release key.
    QString dbPath = {};
};

} // namespace vesk::fleetd
