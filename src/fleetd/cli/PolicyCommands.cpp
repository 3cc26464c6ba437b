#include "fleetd/cli/PolicyCommands.h"

#include "fleetd/cli/AdminSupport.h"
#include "fleetd/http/PolicyBody.h"

#include <QFile>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

// A policy file is one JSON object written by an administrator; nothing sensible is bigger.
constexpr qint64 maxPolicyFileBytes = 4 * 1024 * 1024;

// Names and serials come from files and machines; a tab or line break must not shift the columns.
QString field(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

std::optional<QString> savePolicyFile(FleetStore &store, qint64 tenantId, const QString &path, const QDateTime &now,
                                      QTextStream &err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reportFailure(err, QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    if (file.size() > maxPolicyFileBytes) {
        reportFailure(err, QStringLiteral("%1 is larger than a policy can be").arg(path));
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) {
        reportFailure(err, QStringLiteral("%1 does not hold a JSON object").arg(path));
        return std::nullopt;
    }
    const PolicyBody::Result parsed = PolicyBody::parse(document.object());
    if (!parsed.policy) {
        reportFailure(err, parsed.error);
        return std::nullopt;
    }
    PolicyRecord policy = *parsed.policy;
    if (!document.object().contains(QLatin1String("assigned_serials"))) {
        const StoreResult<QList<PolicyRecord>> saved = store.policies().list(tenantId);
        for (const PolicyRecord &existing : saved.value) {
            if (existing.uuid == policy.uuid)
                policy.assignedSerials += existing.assignedSerials;
        }
    }
    const StoreStatus saved = store.policies().save(tenantId, policy, now);
    if (!saved.isOk()) {
        reportFailure(err, saved.message());
        return std::nullopt;
    }
    return policy.uuid;
}

int runPolicySave(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.at(0), err);
    if (!tenant)
        return 1;
    const std::optional<QString> uuid =
        savePolicyFile(store, tenant->id, commandLine.operands.at(1), QDateTime::currentDateTimeUtc(), err);
    if (!uuid)
        return 1;
    out << "policy " << *uuid << " saved" << Qt::endl;
    return 0;
}

int runPolicyList(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.at(0), err);
    if (!tenant)
        return 1;
    const StoreResult<QList<PolicyRecord>> listed = store.policies().list(tenant->id);
    if (!listed.status.isOk())
        return reportFailure(err, listed.status.message());
    for (const PolicyRecord &policy : listed.value) {
        QStringList serials;
        for (const QString &serial : policy.assignedSerials)
            serials << field(serial);
        out << policy.uuid << '\t' << field(policy.name) << '\t' << serials.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vesk::fleetd
