#pragma once

#include "fleetd/records/PolicyRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

#include <optional>

namespace vesk::fleetd {

// Device policies per tenant, kept as the JSON the console sent, and which policy
// each machine gets. A machine has at most one policy per tenant: the latest save
// or assignment naming it wins.
class PolicyStore {
public:
    explicit PolicyStore(StoreConnection &connection) : m_connection(connection) {}

    // Creates or replaces the policy and makes `serials` exactly its machines.
    StoreStatus save(qint64 tenantId, const PolicyRecord &policy, const QDateTime &now);
    // NotFound when the tenant has no such policy.
    StoreStatus assign(qint64 tenantId, const QString &serial, const QString &uuid, const QDateTime &now);
    // NotFound when the tenant has no such policy; its assignments go with it.
    StoreStatus remove(qint64 tenantId, const QString &uuid);
    // Sorted by name.
    StoreResult<QList<PolicyRecord>> list(qint64 tenantId);
    // None when nothing is assigned to the serial.
    StoreResult<std::optional<PolicyRecord>> forSerial(qint64 tenantId, const QString &serial);

private:
    StoreResult<QStringList> serialsOf(qint64 tenantId, const QString &uuid);

    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
