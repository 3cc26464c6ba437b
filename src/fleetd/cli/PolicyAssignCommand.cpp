#include "fleetd/cli/PolicyAssignCommand.h"

#include "fleetd/cli/AdminSupport.h"
#include "fleetd/http/PolicyBody.h"

#include <QFile>
#include <QJsonDocument>

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
        QFile file(policyArgument);
        if (!file.open(QIODevice::ReadOnly))
            return reportFailure(err, QStringLiteral("%1 is neither a policy UUID nor a readable file").arg(policyArgument));
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (!document.isObject())
            return reportFailure(err, QStringLiteral("%1 does not hold a JSON object").arg(policyArgument));
        const PolicyBody::Result parsed = PolicyBody::parse(document.object());
        if (!parsed.policy)
            return reportFailure(err, parsed.error);
        // The machines the policy already has stay on it.
        PolicyRecord policy = *parsed.policy;
        for (const PolicyRecord &saved : store.policies().list(tenant->id).value) {
            if (saved.uuid == policy.uuid)
                policy.assignedSerials += saved.assignedSerials;
        }
        const StoreStatus saved = store.policies().save(tenant->id, policy, now);
        if (!saved.isOk())
            return reportFailure(err, saved.message());
        uuid = policy.uuid;
    }
    const StoreStatus assigned = store.policies().assign(tenant->id, serial, uuid, now);
    if (!assigned.isOk())
        return reportFailure(err, assigned.message());
    out << "policy " << uuid << " assigned to " << serial << Qt::endl;
    return 0;
}

} // namespace vesk::fleetd
