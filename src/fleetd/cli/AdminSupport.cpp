#include "fleetd/cli/AdminSupport.h"

namespace vesk::fleetd {

int reportFailure(QTextStream &err, const QString &message)
{
    err << "vesk-fleetd: " << message << Qt::endl;
    return 1;
}

bool openAdminStore(FleetStore &store, const QString &path, FleetStore::OpenMode mode, QTextStream &err)
{
    const StoreStatus opened = store.open(path, mode);
    if (opened.isOk())
        return true;
    reportFailure(err, opened.message());
    return false;
}

std::optional<TenantRecord> findTenant(FleetStore &store, const QString &code, QTextStream &err)
{
    const StoreResult<TenantRecord> tenant = store.tenants().byCode(code);
    if (tenant.status.isOk())
        return tenant.value;
    reportFailure(err, tenant.status.message());
    return std::nullopt;
}

std::optional<TenantRecord> findOwner(FleetStore &store, const QString &serial, QTextStream &err)
{
    const StoreResult<TenantRecord> owner = store.ownership().owner(serial);
    if (owner.status.isOk())
        return owner.value;
    reportFailure(err, owner.status.message());
    return std::nullopt;
}

} // namespace vesk::fleetd
