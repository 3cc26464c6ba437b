#include "fleetd/storage/AlertStore.h"

#include "fleetd/storage/SqlStatement.h"

#include <QJsonDocument>
#include <QSet>

namespace vesk::fleetd {

namespace {

// The first eleven columns of the alert listings.
AlertRecord alertFrom(const SqlStatement &row)
{
    AlertRecord alert;
    alert.id = row.value(0).toLongLong();
    alert.serial = row.value(1).toString();
    alert.severity = row.value(2).toString();
    alert.category = row.value(3).toString();
    alert.title = row.value(4).toString();
    alert.message = row.value(5).toString();
    alert.timestamp = row.value(6).toString();
    alert.receivedAt = row.value(7).toString();
    alert.acknowledged = row.value(8).toInt() != 0;
    alert.acknowledgedBy = row.value(9).toString();
    alert.acknowledgedAt = row.value(10).toString();
    return alert;
}

} // namespace

StoreResult<qint64> AlertStore::add(qint64 tenantId, const AlertRecord &alert, const QDateTime &now)
{
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO alerts (tenant_id, serial, severity, category, title, message,"
                                       " timestamp, received_at) VALUES (:tenant, :serial, :severity, :category,"
                                       " :title, :message, :timestamp, :at)"),
                        QStringLiteral("cannot store alert"));
    insert.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), alert.serial)
        .bind(QStringLiteral(":severity"), alert.severity)
        .bind(QStringLiteral(":category"), alert.category)
        .bind(QStringLiteral(":title"), alert.title)
        .bind(QStringLiteral(":message"), alert.message)
        .bind(QStringLiteral(":timestamp"), alert.timestamp)
        .bind(QStringLiteral(":at"), isoTime(now));
    return insert.insertedId();
}

StoreStatus AlertStore::acknowledge(qint64 tenantId, qint64 alertId, bool acknowledged, const QString &by,
                                    const QDateTime &now)
{
    SqlStatement update(m_connection,
                        QStringLiteral("UPDATE alerts SET acknowledged = :ack, acknowledged_by = :by,"
                                       " acknowledged_at = :at WHERE id = :id AND tenant_id = :tenant"),
                        QStringLiteral("cannot acknowledge alert"));
    update.bind(QStringLiteral(":ack"), acknowledged ? 1 : 0)
        .bind(QStringLiteral(":by"), acknowledged ? QVariant(by) : QVariant())
        .bind(QStringLiteral(":at"), acknowledged ? QVariant(isoTime(now)) : QVariant())
        .bind(QStringLiteral(":id"), alertId)
        .bind(QStringLiteral(":tenant"), tenantId);
    return update.runChanging(QStringLiteral("no alert %1").arg(alertId));
}

StoreStatus AlertStore::acknowledgeCleared(qint64 tenantId, const QString &serial, const QString &category,
                                          const QString &by, const QDateTime &now)
{
    SqlStatement update(m_connection,
                        QStringLiteral("UPDATE alerts SET acknowledged = 1, acknowledged_by = :by, acknowledged_at = :at"
                                       " WHERE tenant_id = :tenant AND serial = :serial AND category = :category"
                                       " AND acknowledged = 0"),
                        QStringLiteral("cannot acknowledge cleared alerts"));
    update.bind(QStringLiteral(":by"), by)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":category"), category);
    return update.run();
}

StoreResult<QList<AlertRecord>> AlertStore::list(qint64 tenantId, int limit)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT id, serial, severity, category, title, message, timestamp,"
                                       " received_at, acknowledged, COALESCE(acknowledged_by, ''),"
                                       " COALESCE(acknowledged_at, '') FROM alerts WHERE tenant_id = :tenant"
                                       " ORDER BY id DESC LIMIT :limit"),
                        QStringLiteral("cannot list alerts"));
    select.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":limit"), limit);
    return select.rows([](const SqlStatement &row) { return alertFrom(row); });
}

StoreResult<QList<std::pair<QString, AlertRecord>>> AlertStore::listEveryTenant(int limit)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT a.id, a.serial, a.severity, a.category, a.title, a.message, a.timestamp,"
                                       " a.received_at, a.acknowledged, COALESCE(a.acknowledged_by, ''),"
                                       " COALESCE(a.acknowledged_at, ''), t.code FROM alerts a"
                                       " JOIN tenants t ON t.id = a.tenant_id ORDER BY a.id DESC LIMIT :limit"),
                        QStringLiteral("cannot list alerts"));
    select.bind(QStringLiteral(":limit"), limit);
    return select.rows([](const SqlStatement &row) { return std::pair(row.value(11).toString(), alertFrom(row)); });
}

StoreStatus AlertStore::registerPushToken(qint64 tenantId, const QString &serial, const QString &token,
                                          const QJsonObject &registration, const QDateTime &now)
{
    SqlStatement upsert(m_connection,
                        QStringLiteral("INSERT INTO push_tokens (serial, token, tenant_id, registration_json,"
                                       " registered_at) VALUES (:serial, :token, :tenant, :json, :at)"
                                       " ON CONFLICT(serial, token) DO UPDATE SET tenant_id = excluded.tenant_id,"
                                       " registration_json = excluded.registration_json,"
                                       " registered_at = excluded.registered_at"),
                        QStringLiteral("cannot register push token"));
    upsert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":token"), token)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":json"), QString::fromUtf8(QJsonDocument(registration).toJson(QJsonDocument::Compact)))
        .bind(QStringLiteral(":at"), isoTime(now));
    return upsert.run();
}

StoreResult<QStringList> AlertStore::agentModeReceivers(qint64 tenantId, const QString &source)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT p.serial, p.registration_json, COALESCE(m.event_code, ''),"
                                       " COALESCE((SELECT s.event_code FROM machines s WHERE s.serial = :reporter), '')"
                                       " FROM push_tokens p LEFT JOIN machines m ON m.serial = p.serial"
                                       " WHERE p.tenant_id = :tenant AND p.serial <> :source ORDER BY p.serial"),
                        QStringLiteral("cannot list agent-mode push tokens"));
    select.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":source"), source)
        .bind(QStringLiteral(":reporter"), source);
    struct Row {
        QString serial;
        QJsonObject registration;
        QString heartbeatLocation;
        QString sourceLocation;
    };
    const auto rows = select.rows([](const SqlStatement &row) {
        return Row{row.value(0).toString(), QJsonDocument::fromJson(row.value(1).toString().toUtf8()).object(),
                   row.value(2).toString(), row.value(3).toString()};
    });
    StoreResult<QStringList> result{rows.status};
    if (!rows.status.isOk())
        return result;
    QSet<QString> seen;
    for (const Row &row : rows.value) {
        if (!row.registration.value(QStringLiteral("is_agent")).toBool() || seen.contains(row.serial))
            continue;
        if (row.registration.value(QStringLiteral("alert_scope")).toString() == QLatin1String("location")) {
            QString location = row.registration.value(QStringLiteral("eventcode")).toString();
            if (location.isEmpty())
                location = row.heartbeatLocation;
            if (location.isEmpty() || location.compare(row.sourceLocation, Qt::CaseInsensitive) != 0)
                continue;
        }
        seen.insert(row.serial);
        result.value << row.serial;
    }
    return result;
}

} // namespace vesk::fleetd
