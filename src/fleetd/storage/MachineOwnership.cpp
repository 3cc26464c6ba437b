#include "fleetd/storage/MachineOwnership.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/storage/ChangeNotices.h"
#include "fleetd/storage/SqlStatement.h"
#include "fleetd/storage/StoreTransaction.h"

#include <QJsonDocument>

#include <optional>

namespace vesk::fleetd {

namespace {

struct Owner {
    std::optional<qint64> id;
    QString code;
};

// The machine's owner; no value when the serial was never seen.
StoreResult<std::optional<Owner>> currentOwner(StoreConnection &connection, const QString &serial)
{
    SqlStatement select(connection,
                        QStringLiteral("SELECT m.tenant_id, t.code FROM machines m"
                                       " LEFT JOIN tenants t ON t.id = m.tenant_id WHERE m.serial = :serial"),
                        QStringLiteral("cannot read machine owner"));
    select.bind(QStringLiteral(":serial"), serial);
    return select.optionalRow([](const SqlStatement &row) {
        Owner owner;
        if (!row.value(0).isNull())
            owner.id = row.value(0).toLongLong();
        owner.code = row.value(1).toString();
        return owner;
    });
}

// The tenant an event code is bound to, if any.
StoreResult<std::optional<qint64>> eventCodeTenant(StoreConnection &connection, const QString &eventCode)
{
    SqlStatement select(connection, QStringLiteral("SELECT tenant_id FROM event_codes WHERE code = :code"),
                        QStringLiteral("cannot read event codes"));
    select.bind(QStringLiteral(":code"), eventCode);
    return select.optionalRow([](const SqlStatement &row) { return row.value(0).toLongLong(); });
}

QVariant nullable(const std::optional<qint64> &id)
{
    return id ? QVariant(*id) : QVariant();
}

} // namespace

StoreStatus MachineOwnership::admitHeartbeat(const HeartbeatRecord &beat, const QDateTime &receivedAt)
{
    StoreTransaction transaction(m_connection);
    if (!transaction.ok())
        return transaction.status();
    const StoreResult<std::optional<Owner>> owner = currentOwner(m_connection, beat.serial);
    if (!owner.status.isOk())
        return owner.status;
    const StoreResult<std::optional<qint64>> claimed = eventCodeTenant(m_connection, beat.eventCode);
    if (!claimed.status.isOk())
        return claimed.status;

    const std::optional<qint64> ownerId = owner.value ? owner.value->id : std::nullopt;
    if (ownerId && claimed.value != ownerId) {
        return {StoreStatus::Code::Conflict,
                QStringLiteral("heartbeat for %1 with event code \"%2\" refused: the machine belongs to tenant %3%4")
                    .arg(beat.serial, beat.eventCode, owner.value->code,
                         claimed.value ? QStringLiteral(" and the code to another tenant")
                                       : QStringLiteral(" and the code is not bound"))};
    }
    const std::optional<qint64> newOwner = ownerId ? ownerId : claimed.value;
    if (const StoreStatus stored = upsertMachine(beat, nullable(newOwner), isoTime(receivedAt)); !stored.isOk())
        return stored;
    const StoreStatus committed = transaction.commit();
    // Only a change of owner can change an answer of owner(); an unowned newcomer cannot.
    if (committed.isOk() && newOwner != ownerId) {
        ++m_generation;
        announceChange(m_connection);
        qCInfo(lcFleetd) << "machine" << beat.serial << "registered by event code" << beat.eventCode;
    }
    return committed;
}

StoreStatus MachineOwnership::upsertMachine(const HeartbeatRecord &beat, const QVariant &ownerId, const QString &seen)
{
    const QString state = QString::fromUtf8(QJsonDocument(beat.state).toJson(QJsonDocument::Compact));
    {
        SqlStatement machine(m_connection,
                             QStringLiteral("INSERT INTO machines (serial, first_seen, last_seen, app, version,"
                                            " event_code, state_json, tenant_id) VALUES (:serial, :first_seen,"
                                            " :last_seen, :app, :version, :event_code, :state_json, :tenant)"
                                            " ON CONFLICT(serial) DO UPDATE SET"
                                            " last_seen = excluded.last_seen, app = excluded.app,"
                                            " version = excluded.version, event_code = excluded.event_code,"
                                            " state_json = excluded.state_json, tenant_id = excluded.tenant_id"),
                             QStringLiteral("cannot record heartbeat"));
        machine.bind(QStringLiteral(":serial"), beat.serial)
            .bind(QStringLiteral(":first_seen"), seen)
            .bind(QStringLiteral(":last_seen"), seen)
            .bind(QStringLiteral(":app"), beat.app)
            .bind(QStringLiteral(":version"), beat.version)
            .bind(QStringLiteral(":event_code"), beat.eventCode)
            .bind(QStringLiteral(":state_json"), state)
            .bind(QStringLiteral(":tenant"), ownerId);
        if (!machine.exec())
            return machine.status();
    }
    // An app row left from another owner starts afresh rather than carrying its first-seen time over.
    SqlStatement app(m_connection,
                     QStringLiteral("INSERT INTO machine_apps (serial, app, version, event_code, first_seen,"
                                    " last_seen, tenant_id) VALUES (:serial, :app, :version, :event_code,"
                                    " :first_seen, :last_seen, :tenant) ON CONFLICT(serial, app) DO UPDATE SET"
                                    " version = excluded.version, event_code = excluded.event_code,"
                                    " last_seen = excluded.last_seen,"
                                    " first_seen = CASE WHEN COALESCE(machine_apps.tenant_id, 0) ="
                                    " COALESCE(excluded.tenant_id, 0) THEN machine_apps.first_seen"
                                    " ELSE excluded.first_seen END,"
                                    " tenant_id = excluded.tenant_id"),
                     QStringLiteral("cannot record heartbeat app"));
    app.bind(QStringLiteral(":serial"), beat.serial)
        .bind(QStringLiteral(":app"), beat.app)
        .bind(QStringLiteral(":version"), beat.version)
        .bind(QStringLiteral(":event_code"), beat.eventCode)
        .bind(QStringLiteral(":first_seen"), seen)
        .bind(QStringLiteral(":last_seen"), seen)
        .bind(QStringLiteral(":tenant"), ownerId);
    return app.run();
}

StoreResult<TenantRecord> MachineOwnership::owner(const QString &serial)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT t.id, t.code FROM machines m JOIN tenants t ON t.id = m.tenant_id"
                                       " WHERE m.serial = :serial"),
                        QStringLiteral("cannot read machine owner"));
    select.bind(QStringLiteral(":serial"), serial);
    return select.firstRow(
        [](const SqlStatement &row) { return TenantRecord{row.value(0).toLongLong(), row.value(1).toString()}; },
        QStringLiteral("machine %1 is not registered to a tenant").arg(serial));
}

StoreResult<MachineOwnership::Move> MachineOwnership::move(const QString &serial, const TenantRecord &to,
                                                           const QDateTime &now)
{
    StoreResult<Move> result;
    StoreTransaction transaction(m_connection);
    if (!transaction.ok()) {
        result.status = transaction.status();
        return result;
    }
    const StoreResult<std::optional<Owner>> owner = currentOwner(m_connection, serial);
    result.status = owner.status;
    if (!owner.status.isOk())
        return result;
    if (!owner.value) {
        result.status = {StoreStatus::Code::NotFound, QStringLiteral("no machine %1").arg(serial)};
        return result;
    }
    result.value = {owner.value->code, to.code};
    if (owner.value->id == to.id)
        return result;

    const auto run = [&](const QString &sql, const QString &what) {
        SqlStatement statement(m_connection, sql, what);
        statement.bind(QStringLiteral(":serial"), serial).bind(QStringLiteral(":tenant"), to.id);
        if (sql.contains(QLatin1String(":at")))
            statement.bind(QStringLiteral(":at"), isoTime(now));
        return statement.run();
    };
    const std::pair<QString, QString> steps[] = {
        {QStringLiteral("UPDATE machines SET tenant_id = :tenant WHERE serial = :serial"),
         QStringLiteral("cannot move machine")},
        // The old owner's unfinished commands can never reach the machine now: close them.
        {QStringLiteral("UPDATE commands SET state = 'failed', success = 0, completed_at = :at,"
                        " result = 'The machine was moved to another tenant before it reported a result.'"
                        " WHERE serial = :serial AND tenant_id <> :tenant AND state IN ('pending', 'delivered')"),
         QStringLiteral("cannot close the previous owner's commands")},
        {QStringLiteral("DELETE FROM policy_assignments WHERE serial = :serial AND tenant_id <> :tenant"),
         QStringLiteral("cannot drop the previous owner's policy assignment")},
        {QStringLiteral("DELETE FROM push_tokens WHERE serial = :serial AND tenant_id <> :tenant"),
         QStringLiteral("cannot drop the previous owner's push tokens")},
    };
    for (const auto &[sql, what] : steps) {
        result.status = run(sql, what);
        if (!result.status.isOk())
            return result;
    }
    result.status = transaction.commit();
    if (result.status.isOk()) {
        ++m_generation;
        announceChange(m_connection);
        qCInfo(lcFleetd) << "machine" << serial << "moved from" << owner.value->code << "to" << to.code;
    }
    return result;
}

} // namespace vesk::fleetd
