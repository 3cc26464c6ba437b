#include "fleetd/cli/PolicyAssignCommand.h"

#include "fleetd/cli/AdminSupport.h"
#include "fleetd/cli/PolicyCommands.h"
#include "fleetd/http/PolicyBody.h"

namespace vesk::fleetd {

int runPolicyAssign(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    const QString serial = commandLine.operands.at(1);
    const QString policyArgument = commandLine.operands.at(2);
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.at(0), err);
    if (!tenant)
        return 1;
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QString uuid = PolicyBody::normalizedUuid(policyArgument);
    if (uuid.isEmpty()) {
        const std::optional<QString> saved = savePolicyFile(store, tenant->id, policyArgument, now, err);
        if (!saved)
            return 1;
        uuid = *saved;
    }
    const StoreStatus assigned = store.policies().assign(tenant->id, serial, uuid, now);
    if (!assigned.isOk())
        return reportFailure(err, assigned.message());
    out << "policy " << uuid << " assigned to " << serial << Qt::endl;
    return 0;
}

} // namespace vesk::fleetd
