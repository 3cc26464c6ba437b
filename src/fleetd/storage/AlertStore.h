#pragma once

#include "fleetd/records/AlertRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QStringList>

#include <utility>

namespace vesk::fleetd {

// Alerts reported to a tenant, their acknowledgement, and the push tokens that
// machines and consoles register to hear about them.
class AlertStore {
public:
    explicit AlertStore(StoreConnection &connection) : m_connection(connection) {}

    // `alert.id`, `receivedAt` and the acknowledgement fields are ignored.
    StoreResult<qint64> add(qint64 tenantId, const AlertRecord &alert, const QDateTime &now);
    // NotFound for another tenant's alert. Clearing the flag clears who and when.
    StoreStatus acknowledge(qint64 tenantId, qint64 alertId, bool acknowledged, const QString &by,
                            const QDateTime &now);
    // Marks the machine's unacknowledged alerts of `category` acknowledged by `by`: the
    // machine reported that their condition cleared.
    StoreStatus acknowledgeCleared(qint64 tenantId, const QString &serial, const QString &category, const QString &by,
                                   const QDateTime &now);
    // Newest first.
    StoreResult<QList<AlertRecord>> list(qint64 tenantId, int limit);
    // Every tenant's alerts, newest first, each under its tenant's code.
    StoreResult<QList<std::pair<QString, AlertRecord>>> listEveryTenant(int limit);

    // One row per serial and token; registering again refreshes it.
    StoreStatus registerPushToken(qint64 tenantId, const QString &serial, const QString &token,
                                  const QJsonObject &registration, const QDateTime &now);
    // The tenant's Agent Mode machines (registered with "is_agent": true) that are to hear of
    // an alert from `source`: those of scope "location" only when their location (the
    // registration's "eventcode", else their last heartbeat's) is the source's; every other
    // scope covers the whole tenant. `source` itself is left out; each serial once.
    StoreResult<QStringList> agentModeReceivers(qint64 tenantId, const QString &source);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
