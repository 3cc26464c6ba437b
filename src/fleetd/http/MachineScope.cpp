#include "fleetd/http/MachineScope.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/storage/FleetStore.h"

namespace vesk::fleetd {

std::optional<QHttpServerResponse> refuseForeignMachine(FleetStore &store, const TenantRecord &tenant,
                                                        const QString &serial)
{
    const StoreResult<TenantRecord> owner = store.tenants().machineTenant(serial);
    if (owner.status.isOk() && owner.value.id == tenant.id)
        return std::nullopt;
    if (!owner.status.isOk() && owner.status.code() != StoreStatus::Code::NotFound)
        return storeFailure(owner.status, QStringLiteral("machine lookup"));
    return jsonError(QHttpServerResponse::StatusCode::NotFound,
                     QStringLiteral("no machine %1 in this account").arg(serial));
}

} // namespace vesk::fleetd
