#pragma once

#include "fleetd/records/SecretRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

#include <functional>

namespace vesk::fleetd {

// Fleet secrets: an integer id and a 64-hex code shown once at issue. Only the
// code's SHA-256 and its first 8 characters are stored. A tenant has at most one
// active secret; rotate and revoke retire it.
class SecretStore {
public:
    static constexpr int kPreviewLength = 8;

    // What issue and rotate hand back: the only time the code exists in the clear.
    struct Issued {
        qint64 id = 0;
        QString code;
        QString preview;
    };

    explicit SecretStore(StoreConnection &connection) : m_connection(connection) {}

    // Conflict when the tenant already has an active secret (rotate it instead).
    StoreResult<Issued> issue(qint64 tenantId, const QDateTime &now);
    // Marks the active secret rotated and issues a new one; NotFound without one.
    StoreResult<Issued> rotate(qint64 tenantId, const QDateTime &now);
    // Marks the active secret revoked; NotFound without one.
    StoreStatus revoke(qint64 tenantId, const QDateTime &now);

    StoreResult<QList<SecretRecord>> list(qint64 tenantId);
    // With the tenant's code filled in; NotFound for an unknown id.
    StoreResult<SecretRecord> byId(qint64 id);
    StoreResult<SecretRecord> active(qint64 tenantId);

    // Changes on each write through this connection. Writes by other connections
    // (the admin command line) show in FleetStore::dataVersion() instead.
    quint64 generation() const { return m_generation; }

    static QString hashCode(const QString &code);

private:
    StoreResult<Issued> insertActive(qint64 tenantId, const QDateTime &now);
    // In one transaction: `makeRoom` (which may refuse), then a new active secret.
    StoreResult<Issued> issueAfter(qint64 tenantId, const QDateTime &now, const std::function<StoreStatus()> &makeRoom);
    StoreStatus retireActive(qint64 tenantId, const QString &state, const QString &timeColumn, const QDateTime &now);

    StoreConnection &m_connection;
    quint64 m_generation = 0;
};

} // namespace vesk::fleetd
