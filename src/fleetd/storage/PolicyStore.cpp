#include "fleetd/storage/PolicyStore.h"

#include "fleetd/storage/SqlStatement.h"
#include "fleetd/storage/StoreTransaction.h"

#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

PolicyRecord readPolicy(const SqlStatement &row)
{
    return {row.value(0).toString(), row.value(1).toString(),
            QJsonDocument::fromJson(row.value(2).toString().toUtf8()).object(), {}};
}

} // namespace

StoreStatus PolicyStore::save(qint64 tenantId, const PolicyRecord &policy, const QDateTime &now)
{
    StoreTransaction transaction(m_connection);
    if (!transaction.ok())
        return transaction.status();
    {
        SqlStatement upsert(m_connection,
                            QStringLiteral("INSERT INTO policies (tenant_id, uuid, name, body_json, updated_at)"
                                           " VALUES (:tenant, :uuid, :name, :body, :at)"
                                           " ON CONFLICT(tenant_id, uuid) DO UPDATE SET name = excluded.name,"
                                           " body_json = excluded.body_json, updated_at = excluded.updated_at"),
                            QStringLiteral("cannot store policy"));
        upsert.bind(QStringLiteral(":tenant"), tenantId)
            .bind(QStringLiteral(":uuid"), policy.uuid)
            .bind(QStringLiteral(":name"), policy.name)
            .bind(QStringLiteral(":body"),
                  QString::fromUtf8(QJsonDocument(policy.body).toJson(QJsonDocument::Compact)))
            .bind(QStringLiteral(":at"), isoTime(now));
        if (!upsert.exec())
            return upsert.status();
    }
    {
        SqlStatement clear(m_connection,
                           QStringLiteral("DELETE FROM policy_assignments WHERE tenant_id = :tenant"
                                          " AND policy_uuid = :uuid"),
                           QStringLiteral("cannot reset policy assignments"));
        clear.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":uuid"), policy.uuid);
        if (!clear.exec())
            return clear.status();
    }
    for (const QString &serial : policy.assignedSerials) {
        const StoreStatus assigned = assign(tenantId, serial, policy.uuid, now);
        if (!assigned.isOk())
            return assigned;
    }
    return transaction.commit();
}

StoreStatus PolicyStore::assign(qint64 tenantId, const QString &serial, const QString &uuid, const QDateTime &now)
{
    {
        SqlStatement exists(m_connection,
                            QStringLiteral("SELECT 1 FROM policies WHERE tenant_id = :tenant AND uuid = :uuid"),
                            QStringLiteral("cannot read policy"));
        exists.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":uuid"), uuid);
        const StoreResult<bool> found = exists.hasRow();
        if (!found.status.isOk())
            return found.status;
        if (!found.value)
            return {StoreStatus::Code::NotFound, QStringLiteral("no policy %1").arg(uuid)};
    }
    SqlStatement upsert(m_connection,
                        QStringLiteral("INSERT INTO policy_assignments (tenant_id, serial, policy_uuid, assigned_at)"
                                       " VALUES (:tenant, :serial, :uuid, :at) ON CONFLICT(tenant_id, serial)"
                                       " DO UPDATE SET policy_uuid = excluded.policy_uuid,"
                                       " assigned_at = excluded.assigned_at"),
                        QStringLiteral("cannot assign policy"));
    upsert.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":uuid"), uuid)
        .bind(QStringLiteral(":at"), isoTime(now));
    return upsert.run();
}

StoreStatus PolicyStore::remove(qint64 tenantId, const QString &uuid)
{
    SqlStatement remove(m_connection, QStringLiteral("DELETE FROM policies WHERE tenant_id = :tenant AND uuid = :uuid"),
                        QStringLiteral("cannot delete policy"));
    remove.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":uuid"), uuid);
    return remove.runChanging(QStringLiteral("no policy %1").arg(uuid));
}

StoreResult<QStringList> PolicyStore::serialsOf(qint64 tenantId, const QString &uuid)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT serial FROM policy_assignments WHERE tenant_id = :tenant"
                                       " AND policy_uuid = :uuid ORDER BY serial"),
                        QStringLiteral("cannot read policy assignments"));
    select.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":uuid"), uuid);
    return select.rows([](const SqlStatement &row) { return row.value(0).toString(); });
}

StoreResult<QList<PolicyRecord>> PolicyStore::list(qint64 tenantId)
{
    StoreResult<QList<PolicyRecord>> result;
    {
        SqlStatement select(m_connection,
                            QStringLiteral("SELECT uuid, name, body_json FROM policies WHERE tenant_id = :tenant"
                                           " ORDER BY name, uuid"),
                            QStringLiteral("cannot list policies"));
        select.bind(QStringLiteral(":tenant"), tenantId);
        result = select.rows(readPolicy);
        if (!result.status.isOk())
            return result;
    }
    for (PolicyRecord &policy : result.value) {
        StoreResult<QStringList> serials = serialsOf(tenantId, policy.uuid);
        if (!serials.status.isOk()) {
            result.status = serials.status;
            return result;
        }
        policy.assignedSerials = serials.value;
    }
    return result;
}

StoreResult<std::optional<PolicyRecord>> PolicyStore::forSerial(qint64 tenantId, const QString &serial)
{
    StoreResult<std::optional<PolicyRecord>> result;
    {
        SqlStatement select(m_connection,
                            QStringLiteral("SELECT p.uuid, p.name, p.body_json FROM policy_assignments a"
                                           " JOIN policies p ON p.tenant_id = a.tenant_id AND p.uuid = a.policy_uuid"
                                           " WHERE a.tenant_id = :tenant AND a.serial = :serial"),
                            QStringLiteral("cannot read device policy"));
        select.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":serial"), serial);
        result = select.optionalRow(readPolicy);
        if (!result.status.isOk() || !result.value)
            return result;
    }
    StoreResult<QStringList> serials = serialsOf(tenantId, result.value->uuid);
    result.status = serials.status;
    result.value->assignedSerials = serials.value;
    return result;
}

} // namespace vesk::fleetd
