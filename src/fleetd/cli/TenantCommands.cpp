#include "fleetd/cli/TenantCommands.h"

#include "fleetd/cli/AdminSupport.h"

namespace vesk::fleetd {

int runTenantAdd(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    const QString code = commandLine.operands.at(0).trimmed();
    if (code.isEmpty() || code.contains(QLatin1Char('\t')))
        return reportFailure(err, QStringLiteral("a tenant code must be non-empty text"));
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::CreateIfMissing, err))
        return 1;
    const StoreResult<TenantRecord> added = store.tenants().add(code, QDateTime::currentDateTimeUtc());
    if (!added.status.isOk())
        return reportFailure(err, added.status.message());
    out << "tenant " << added.value.code << " added" << Qt::endl;
    return 0;
}

int runEventAdd(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    const QString eventCode = commandLine.operands.at(1).trimmed();
    if (eventCode.isEmpty())
        return reportFailure(err, QStringLiteral("an event code must be non-empty text"));
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.at(0), err);
    if (!tenant)
        return 1;
    const StoreStatus bound = store.tenants().bindEventCode(tenant->id, eventCode, QDateTime::currentDateTimeUtc());
    if (!bound.isOk())
        return reportFailure(err, bound.message());
    out << "event code " << eventCode << " bound to " << tenant->code << Qt::endl;
    return 0;
}

} // namespace vesk::fleetd
