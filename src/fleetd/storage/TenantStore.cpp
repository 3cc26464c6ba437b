#include "fleetd/storage/TenantStore.h"

#include "fleetd/storage/MachineRows.h"
#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

namespace {

TenantRecord readTenant(const SqlStatement &row)
{
    return {row.value(0).toLongLong(), row.value(1).toString()};
}

} // namespace

StoreResult<TenantRecord> TenantStore::add(const QString &code, const QDateTime &now)
{
    StoreResult<TenantRecord> result;
    const StoreResult<TenantRecord> existing = byCode(code);
    if (existing.status.isOk()) {
        result.status = {StoreStatus::Code::Conflict, QStringLiteral("tenant %1 already exists").arg(existing.value.code)};
        return result;
    }
    SqlStatement insert(m_connection, QStringLiteral("INSERT INTO tenants (code, created_at) VALUES (:code, :at)"),
                        QStringLiteral("cannot add tenant"));
    insert.bind(QStringLiteral(":code"), code).bind(QStringLiteral(":at"), isoTime(now));
    const StoreResult<qint64> id = insert.insertedId();
    result.status = id.status;
    result.value = {id.value, code};
    return result;
}

StoreResult<TenantRecord> TenantStore::byCode(const QString &code)
{
    SqlStatement select(m_connection, QStringLiteral("SELECT id, code FROM tenants WHERE code = :code"),
                        QStringLiteral("cannot read tenants"));
    return select.bind(QStringLiteral(":code"), code).firstRow(readTenant, QStringLiteral("no tenant %1").arg(code));
}

StoreStatus TenantStore::bindEventCode(qint64 tenantId, const QString &eventCode, const QDateTime &now)
{
    {
        SqlStatement select(m_connection,
                            QStringLiteral("SELECT e.tenant_id, t.code FROM event_codes e"
                                           " JOIN tenants t ON t.id = e.tenant_id WHERE e.code = :code"),
                            QStringLiteral("cannot read event codes"));
        select.bind(QStringLiteral(":code"), eventCode);
        if (!select.exec())
            return select.status();
        if (select.next()) {
            if (select.value(0).toLongLong() == tenantId)
                return StoreStatus::ok();
            return {StoreStatus::Code::Conflict,
                    QStringLiteral("event code %1 belongs to tenant %2").arg(eventCode, select.value(1).toString())};
        }
    }
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO event_codes (code, tenant_id, created_at) VALUES (:code, :tenant, :at)"),
                        QStringLiteral("cannot bind event code"));
    insert.bind(QStringLiteral(":code"), eventCode)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":at"), isoTime(now));
    return insert.run();
}

StoreResult<QList<MachineRecord>> TenantStore::machines(qint64 tenantId)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT %1 FROM machines m WHERE m.tenant_id = :tenant"
                                       " ORDER BY m.serial")
                            .arg(kMachineColumns),
                        QStringLiteral("cannot list machines"));
    return select.bind(QStringLiteral(":tenant"), tenantId).rows(readMachine);
}

StoreResult<QList<MachineAppRecord>> TenantStore::machineApps(qint64 tenantId, const QString &serial)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT serial, app, version, event_code, first_seen, last_seen"
                                       " FROM machine_apps WHERE serial = :serial AND tenant_id = :tenant ORDER BY app"),
                        QStringLiteral("cannot list machine apps"));
    select.bind(QStringLiteral(":serial"), serial).bind(QStringLiteral(":tenant"), tenantId);
    return select.rows([](const SqlStatement &row) {
        return MachineAppRecord{row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
                                row.value(3).toString(), row.value(4).toString(), row.value(5).toString()};
    });
}

} // namespace vesk::fleetd
