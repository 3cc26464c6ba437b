#pragma once

#include "fleetd/records/MachineAppRecord.h"
#include "fleetd/records/MachineRecord.h"
#include "fleetd/records/TenantRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

namespace vesk::fleetd {

// Tenants, the event codes bound to them, and each tenant's view of its machines
// (which tenant owns a machine is MachineOwnership's business).
class TenantStore {
public:
    explicit TenantStore(StoreConnection &connection) : m_connection(connection) {}

    // Conflict when a tenant with that code (in any case) exists.
    StoreResult<TenantRecord> add(const QString &code, const QDateTime &now);
    // NotFound when no tenant has that code (in any case).
    StoreResult<TenantRecord> byCode(const QString &code);
    // Binds an event code to a tenant. Binding it again to the same tenant is fine;
    // Conflict when it is bound to another one.
    StoreStatus bindEventCode(qint64 tenantId, const QString &eventCode, const QDateTime &now);

    // The tenant's machines, sorted by serial.
    StoreResult<QList<MachineRecord>> machines(qint64 tenantId);
    // Every app that sent heartbeats from the serial while the tenant owned it, sorted by app.
    StoreResult<QList<MachineAppRecord>> machineApps(qint64 tenantId, const QString &serial);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
