#pragma once

#include <QDateTime>

#include <functional>

namespace vesk::fleetd {

class FleetStore;

// What handlers are given: the store and the server's notion of now (tests set the time).
struct FleetContext {
    using Now = std::function<QDateTime()>;

    FleetStore &store;
    Now now;
};

} // namespace vesk::fleetd
