#pragma once

#include "fleetd/records/PayloadRecord.h"
#include "fleetd/records/TenantRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace vesk::fleetd {

// Configuration payloads per tenant, the zip archive kept in the database beside its
// description so that one file holds the whole server state.
class PayloadStore {
public:
    explicit PayloadStore(StoreConnection &connection) : m_connection(connection) {}

    // Stores the archive; id, tenant code, sha256, size and creation time are
    // filled in from the arguments and returned.
    StoreResult<PayloadRecord> add(const TenantRecord &tenant, PayloadRecord payload, const QByteArray &archive,
                                   const QDateTime &now);
    // NotFound for another tenant's payload.
    StoreResult<PayloadRecord> get(qint64 tenantId, qint64 payloadId);
    StoreResult<QByteArray> archive(qint64 tenantId, qint64 payloadId);
    // Newest first.
    StoreResult<QList<PayloadRecord>> list(qint64 tenantId);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
