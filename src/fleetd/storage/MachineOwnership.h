#pragma once

#include "fleetd/records/HeartbeatRecord.h"
#include "fleetd/records/TenantRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>

namespace vesk::fleetd {

// Which tenant owns a machine, and the only code that ever changes it:
// - a serial's first heartbeat whose event code is bound to a tenant registers the
//   machine to that tenant; until then (no heartbeat, or only unbound event codes)
//   the machine belongs to nobody and no fleet key reaches it;
// - a later heartbeat never changes the owner: one whose event code is unbound or
//   bound to another tenant is refused (Conflict) and stores nothing;
// - move() is the administrator's act that hands a machine to another tenant. Its
//   history stays with the tenant that received it, that tenant's open commands
//   for it fail, and that tenant's policy assignments and push tokens for it go.
// Serials are matched exactly, case included.
class MachineOwnership {
public:
    struct Move {
        QString fromTenant; // empty when the machine had no owner
        QString toTenant;
    };

    explicit MachineOwnership(StoreConnection &connection) : m_connection(connection) {}

    // Stores the heartbeat under the rules above; `receivedAt` becomes last seen.
    StoreStatus admitHeartbeat(const HeartbeatRecord &beat, const QDateTime &receivedAt);
    // NotFound when the serial is unknown or belongs to nobody.
    StoreResult<TenantRecord> owner(const QString &serial);
    // NotFound for an unknown serial; moving to the current owner changes nothing.
    StoreResult<Move> move(const QString &serial, const TenantRecord &to, const QDateTime &now);

    // Changes on each change of owner made through this connection.
    // Changes made by other connections show in FleetStore::dataVersion() instead.
    quint64 generation() const { return m_generation; }

private:
    StoreStatus upsertMachine(const HeartbeatRecord &beat, const QVariant &ownerId, const QString &seen);

    StoreConnection &m_connection;
    quint64 m_generation = 0;
};

} // namespace vesk::fleetd
