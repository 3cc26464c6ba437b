#include "fleetd/cli/MachineMoveCommand.h"

#include "fleetd/cli/AdminSupport.h"

namespace vesk::fleetd {

int runMachineMove(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    const QString &serial = commandLine.operands.at(0);
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.at(1), err);
    if (!tenant)
        return 1;
    const StoreResult<MachineOwnership::Move> moved =
        store.ownership().move(serial, *tenant, QDateTime::currentDateTimeUtc());
    if (!moved.status.isOk())
        return reportFailure(err, moved.status.message());
    if (moved.value.fromTenant.compare(moved.value.toTenant, Qt::CaseInsensitive) == 0)
        out << "machine " << serial << " already belongs to " << tenant->code << Qt::endl;
    else if (moved.value.fromTenant.isEmpty())
        out << "machine " << serial << " registered to " << tenant->code << Qt::endl;
    else
        out << "machine " << serial << " moved from " << moved.value.fromTenant << " to " << tenant->code << Qt::endl;
    return 0;
}

} // namespace vesk::fleetd
