#pragma once

#include "fleetd/records/CommandRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

namespace vesk::fleetd {

// The command queue: queued by the console or the admin command line, handed out
// once by a poll of the machine, closed by its result.
class CommandStore {
public:
    explicit CommandStore(StoreConnection &connection) : m_connection(connection) {}

    StoreResult<qint64> queue(qint64 tenantId, const QString &serial, const QString &command,
                              const QJsonObject &params, const QString &queuedBy, const QDateTime &now);
    // The serial's pending commands of that tenant, oldest first, now marked delivered.
    StoreResult<QList<CommandRecord>> takePending(qint64 tenantId, const QString &serial, const QDateTime &now);
    // NotFound for another tenant's command; Conflict when it already has a result.
    StoreStatus recordResult(qint64 tenantId, qint64 commandId, bool success, const QString &result,
                             const QDateTime &now);
    // A result for work the machine started itself (command id 0): kept as a
    // finished command named "local_action" so it shows in the command list.
    StoreResult<qint64> recordLocalResult(qint64 tenantId, const QString &serial, bool success, const QString &result,
                                          const QDateTime &now);
    // Every command of the serial, oldest first, whatever its tenant (admin view).
    StoreResult<QList<CommandRecord>> list(const QString &serial);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
