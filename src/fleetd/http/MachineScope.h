#pragma once

#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

#include <optional>

namespace vesk::fleetd {

class FleetStore;

// A tenant only reaches its own machines: nothing when `serial` belongs to the
// tenant, else the 404 to answer (the same whether the machine is unknown or
// another tenant's, so nothing leaks across accounts).
std::optional<QHttpServerResponse> refuseForeignMachine(FleetStore &store, const TenantRecord &tenant,
                                                        const QString &serial);

} // namespace vesk::fleetd
