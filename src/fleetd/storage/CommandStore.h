#pragma once

#include "fleetd/records/CommandRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

#include <chrono>
#include <optional>

namespace vesk::fleetd {

// The command queue: queued by the console or the admin command line, handed out by
// a poll of the machine ("delivered", with the time), closed by its result. A
// delivered command that has no result `redeliverAfter` later (the answer to the poll
// was lost, or the agent stopped) is handed out again; the agent skips ids it ran.
class CommandStore {
public:
    explicit CommandStore(StoreConnection &connection) : m_connection(connection) {}

    StoreResult<qint64> queue(qint64 tenantId, const QString &serial, const QString &command,
                              const QJsonObject &params, const QString &queuedBy, const QDateTime &now);
    // How long a delivered command waits for its result before it is handed out again.
    static constexpr std::chrono::seconds kDefaultRedeliverAfter{600};

    // The serial's commands of that tenant that are pending, or delivered at or before
    // now - redeliverAfter without a result; oldest first, now marked delivered at now.
    // When none is due, `quietUntil` (if given) is set to when the earliest delivered command
    // without a result becomes due, or to an invalid time when there is none.
    StoreResult<QList<CommandRecord>> takePending(qint64 tenantId, const QString &serial, const QDateTime &now,
                                                  std::chrono::seconds redeliverAfter = kDefaultRedeliverAfter,
                                                  std::optional<QDateTime> *quietUntil = nullptr);
    // NotFound for a command of another tenant or another machine; Conflict when it
    // already has a result.
    StoreStatus recordResult(qint64 tenantId, const QString &serial, qint64 commandId, bool success,
                             const QString &result, const QDateTime &now);
    // A result for work the machine started itself (command id 0): kept as a
    // finished command named "local_action" so it shows in the command list.
    StoreResult<qint64> recordLocalResult(qint64 tenantId, const QString &serial, bool success, const QString &result,
                                          const QDateTime &now);
    // Every command of the serial, oldest first, whatever its tenant (admin view).
    StoreResult<QList<CommandRecord>> list(const QString &serial);

    // Changes with each command queued through this connection. Commands queued by other
    // connections show in FleetStore::dataVersion() instead.
    quint64 generation() const { return m_generation; }

private:
    StoreConnection &m_connection;
    quint64 m_generation = 0;
};

} // namespace vesk::fleetd
