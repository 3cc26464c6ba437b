#include "fleetd/storage/TenantStore.h"

#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

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
    if (!insert.exec()) {
        result.status = insert.status();
        return result;
    }
    result.value = {insert.lastInsertId(), code};
    return result;
}

StoreResult<TenantRecord> TenantStore::byCode(const QString &code)
{
    StoreResult<TenantRecord> result;
    SqlStatement select(m_connection, QStringLiteral("SELECT id, code FROM tenants WHERE code = :code"),
                        QStringLiteral("cannot read tenants"));
    select.bind(QStringLiteral(":code"), code);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    if (!select.next()) {
        result.status = {StoreStatus::Code::NotFound, QStringLiteral("no tenant %1").arg(code)};
        return result;
    }
    result.value = {select.value(0).toLongLong(), select.value(1).toString()};
    return result;
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
    return insert.exec() ? StoreStatus::ok() : insert.status();
}

StoreResult<TenantRecord> TenantStore::machineTenant(const QString &serial)
{
    StoreResult<TenantRecord> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT t.id, t.code FROM machines m"
                                       " JOIN event_codes e ON e.code = m.event_code"
                                       " JOIN tenants t ON t.id = e.tenant_id WHERE m.serial = :serial"),
                        QStringLiteral("cannot read machine tenant"));
    select.bind(QStringLiteral(":serial"), serial);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    if (!select.next()) {
        result.status = {StoreStatus::Code::NotFound, QStringLiteral("machine %1 is not bound to a tenant").arg(serial)};
        return result;
    }
    result.value = {select.value(0).toLongLong(), select.value(1).toString()};
    return result;
}

StoreResult<QList<MachineRecord>> TenantStore::machines(qint64 tenantId)
{
    StoreResult<QList<MachineRecord>> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT m.serial, m.first_seen, m.last_seen, m.app, m.version, m.event_code,"
                                       " m.state_json FROM machines m JOIN event_codes e ON e.code = m.event_code"
                                       " WHERE e.tenant_id = :tenant ORDER BY m.serial"),
                        QStringLiteral("cannot list machines"));
    select.bind(QStringLiteral(":tenant"), tenantId);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    while (select.next()) {
        result.value.append({select.value(0).toString(), select.value(1).toString(), select.value(2).toString(),
                             select.value(3).toString(), select.value(4).toString(), select.value(5).toString(),
                             select.value(6).toString()});
    }
    return result;
}

StoreResult<QList<MachineAppRecord>> TenantStore::machineApps(const QString &serial)
{
    StoreResult<QList<MachineAppRecord>> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT serial, app, version, event_code, first_seen, last_seen"
                                       " FROM machine_apps WHERE serial = :serial ORDER BY app"),
                        QStringLiteral("cannot list machine apps"));
    select.bind(QStringLiteral(":serial"), serial);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    while (select.next()) {
        result.value.append({select.value(0).toString(), select.value(1).toString(), select.value(2).toString(),
                             select.value(3).toString(), select.value(4).toString(), select.value(5).toString()});
    }
    return result;
}

} // namespace vesk::fleetd
