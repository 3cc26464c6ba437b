#include "fleetd/storage/CommandStore.h"

#include "fleetd/storage/ChangeNotices.h"
#include "fleetd/storage/SqlStatement.h"

#include <QJsonDocument>

#include <algorithm>

namespace vesk::fleetd {

namespace {

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject parseObject(const QVariant &text)
{
    return QJsonDocument::fromJson(text.toString().toUtf8()).object();
}

} // namespace

StoreResult<qint64> CommandStore::queue(qint64 tenantId, const QString &serial, const QString &command,
                                        const QJsonObject &params, const QString &queuedBy, const QDateTime &now)
{
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO commands (tenant_id, serial, command, params_json, state,"
                                       " queued_by, queued_at) VALUES (:tenant, :serial, :command, :params,"
                                       " 'pending', :by, :at)"),
                        QStringLiteral("cannot queue command"));
    insert.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":command"), command)
        .bind(QStringLiteral(":params"), compact(params))
        .bind(QStringLiteral(":by"), queuedBy)
        .bind(QStringLiteral(":at"), isoTime(now));
    StoreResult<qint64> inserted = insert.insertedId();
    if (inserted.status.isOk()) {
        ++m_generation;
        announceChange(m_connection);
    }
    return inserted;
}

StoreResult<QList<CommandRecord>> CommandStore::takePending(qint64 tenantId, const QString &serial,
                                                            const QDateTime &now, std::chrono::seconds redeliverAfter,
                                                            std::optional<QDateTime> *quietUntil)
{
    // Due: never handed out, or handed out long enough ago that its answer was lost.
    // The state list lets the (serial, state) index skip the machine's finished history.
    const QString outstanding =
        QStringLiteral("serial = :serial AND state IN ('pending', 'delivered') AND tenant_id = :tenant");
    const QString due = outstanding + QStringLiteral(" AND (state = 'pending' OR delivered_at <= :cutoff)");
    const QString cutoff = isoTime(now.addSecs(-redeliverAfter.count()));
    // Most polls find nothing: a plain read answers them without taking the write lock. It
    // reads the earliest delivery of the outstanding commands ('' for a pending one, NULL for
    // none), which also tells when the next one falls due.
    {
        SqlStatement probe(m_connection,
                           QStringLiteral("SELECT MIN(CASE WHEN state = 'pending' THEN '' ELSE delivered_at END)"
                                          " FROM commands WHERE %1")
                               .arg(outstanding),
                           QStringLiteral("cannot read pending commands"));
        probe.bind(QStringLiteral(":serial"), serial).bind(QStringLiteral(":tenant"), tenantId);
        const StoreResult<std::optional<QVariant>> earliest =
            probe.optionalRow([](const SqlStatement &row) { return row.value(0); });
        if (!earliest.status.isOk())
            return {earliest.status};
        const QVariant delivered = earliest.value.value_or(QVariant());
        if (delivered.isNull() || (delivered.toString() > cutoff && !delivered.toString().isEmpty())) {
            const QDateTime next = delivered.isNull() ? QDateTime()
                                                      : QDateTime::fromString(delivered.toString(), Qt::ISODateWithMs);
            // A delivery time that does not read back tells nothing about when it falls due.
            if (quietUntil && (delivered.isNull() || next.isValid()))
                *quietUntil = next.isValid() ? next.addSecs(redeliverAfter.count()) : QDateTime();
            return {};
        }
    }
    // One statement marks and returns them, so two polls never both take a command.
    SqlStatement take(m_connection,
                      QStringLiteral("UPDATE commands SET state = 'delivered', delivered_at = :at WHERE %1"
                                     " RETURNING id, command, params_json, queued_by, queued_at")
                          .arg(due),
                      QStringLiteral("cannot hand out pending commands"));
    take.bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":cutoff"), cutoff);
    StoreResult<QList<CommandRecord>> result = take.rows([&](const SqlStatement &row) {
        CommandRecord record;
        record.id = row.value(0).toLongLong();
        record.tenantId = tenantId;
        record.serial = serial;
        record.command = row.value(1).toString();
        record.params = parseObject(row.value(2));
        record.state = QStringLiteral("delivered");
        record.queuedBy = row.value(3).toString();
        record.queuedAt = row.value(4).toString();
        record.deliveredAt = isoTime(now);
        return record;
    });
    std::sort(result.value.begin(), result.value.end(),
              [](const CommandRecord &a, const CommandRecord &b) { return a.id < b.id; });
    return result;
}

StoreStatus CommandStore::recordResult(qint64 tenantId, const QString &serial, qint64 commandId, bool success,
                                       const QString &result, const QDateTime &now)
{
    // A command is answered once, except a shown message: its dismissal at the machine is
    // reported later under the same id and replaces "Message displayed".
    SqlStatement update(m_connection,
                        QStringLiteral("UPDATE commands SET state = :state, success = :success, result = :result,"
                                       " completed_at = :at WHERE id = :id AND tenant_id = :tenant"
                                       " AND serial = :serial AND (completed_at IS NULL OR command = 'show_message')"),
                        QStringLiteral("cannot record command result"));
    update.bind(QStringLiteral(":state"), success ? QStringLiteral("succeeded") : QStringLiteral("failed"))
        .bind(QStringLiteral(":success"), success ? 1 : 0)
        .bind(QStringLiteral(":result"), result)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":id"), commandId)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial);
    const StoreStatus updated = update.runChanging(QStringLiteral("no command %1 for %2").arg(commandId).arg(serial));
    if (updated.code() != StoreStatus::Code::NotFound)
        return updated;

    SqlStatement exists(m_connection,
                        QStringLiteral("SELECT 1 FROM commands WHERE id = :id AND tenant_id = :tenant"
                                       " AND serial = :serial"),
                        QStringLiteral("cannot read command"));
    exists.bind(QStringLiteral(":id"), commandId)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial);
    const StoreResult<bool> found = exists.hasRow();
    if (found.status.isOk() && found.value)
        return {StoreStatus::Code::Conflict, QStringLiteral("command %1 already has a result").arg(commandId)};
    return found.status.isOk() ? updated : found.status;
}

StoreResult<qint64> CommandStore::recordLocalResult(qint64 tenantId, const QString &serial, bool success,
                                                    const QString &result, const QDateTime &now)
{
    StoreResult<qint64> queued = queue(tenantId, serial, QStringLiteral("local_action"), {}, serial, now);
    if (!queued.status.isOk())
        return queued;
    queued.status = recordResult(tenantId, serial, queued.value, success, result, now);
    return queued;
}

StoreResult<QList<CommandRecord>> CommandStore::list(const QString &serial)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT id, tenant_id, command, params_json, state, queued_by, queued_at,"
                                       " COALESCE(delivered_at, ''), COALESCE(completed_at, ''), success,"
                                       " COALESCE(result, '') FROM commands WHERE serial = :serial ORDER BY id"),
                        QStringLiteral("cannot list commands"));
    select.bind(QStringLiteral(":serial"), serial);
    return select.rows([&serial](const SqlStatement &row) {
        CommandRecord record;
        record.id = row.value(0).toLongLong();
        record.tenantId = row.value(1).toLongLong();
        record.serial = serial;
        record.command = row.value(2).toString();
        record.params = parseObject(row.value(3));
        record.state = row.value(4).toString();
        record.queuedBy = row.value(5).toString();
        record.queuedAt = row.value(6).toString();
        record.deliveredAt = row.value(7).toString();
        record.completedAt = row.value(8).toString();
        if (!row.value(9).isNull())
            record.success = row.value(9).toInt() != 0;
        record.result = row.value(10).toString();
        return record;
    });
}

} // namespace vesk::fleetd
