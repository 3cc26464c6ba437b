#include "fleetd/storage/ReportStore.h"

#include "fleetd/storage/SqlStatement.h"

#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

QString compact(const QJsonDocument &document)
{
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

// Reads (received_at, body_json) rows of the serial's telemetry.
auto telemetryReader(const QString &serial)
{
    return [serial](const SqlStatement &row) {
        return TelemetryRecord{serial, row.value(0).toString(),
                               QJsonDocument::fromJson(row.value(1).toString().toUtf8()).object()};
    };
}

} // namespace

StoreStatus ReportStore::addTelemetry(qint64 tenantId, const QString &serial, const QJsonObject &body, const QDateTime &now)
{
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO telemetry (tenant_id, serial, received_at, body_json)"
                                       " VALUES (:tenant, :serial, :at, :body)"),
                        QStringLiteral("cannot store telemetry"));
    insert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":body"), compact(QJsonDocument(body)));
    return insert.run();
}

StoreResult<QList<TelemetryRecord>> ReportStore::telemetrySince(qint64 tenantId, const QString &serial, const QDateTime &since,
                                                                int limit)
{
    // The newest `limit` rows of the range, then put back in time order.
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT received_at, body_json FROM (SELECT id, received_at, body_json"
                                       " FROM telemetry WHERE serial = :serial AND tenant_id = :tenant AND received_at >= :since"
                                       " ORDER BY id DESC LIMIT :limit) AS recent ORDER BY id"),
                        QStringLiteral("cannot read telemetry"));
    select.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":since"), isoTime(since))
        .bind(QStringLiteral(":limit"), limit);
    return select.rows(telemetryReader(serial));
}

StoreResult<TelemetryRecord> ReportStore::latestTelemetry(qint64 tenantId, const QString &serial)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT received_at, body_json FROM telemetry WHERE serial = :serial"
                                       " AND tenant_id = :tenant ORDER BY id DESC LIMIT 1"),
                        QStringLiteral("cannot read telemetry"));
    select.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId);
    return select.firstRow(telemetryReader(serial), QStringLiteral("no telemetry from %1").arg(serial));
}

StoreStatus ReportStore::putInstalledApps(qint64 tenantId, const QString &serial, const QJsonArray &apps, const QDateTime &now)
{
    SqlStatement upsert(m_connection,
                        QStringLiteral("INSERT INTO installed_apps (serial, reported_at, apps_json, tenant_id)"
                                       " VALUES (:serial, :at, :apps, :tenant) ON CONFLICT(serial) DO UPDATE SET"
                                       " reported_at = excluded.reported_at, apps_json = excluded.apps_json,"
                                       " tenant_id = excluded.tenant_id"),
                        QStringLiteral("cannot store installed apps"));
    upsert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":apps"), compact(QJsonDocument(apps)));
    return upsert.run();
}

StoreResult<ReportStore::InstalledApps> ReportStore::installedApps(qint64 tenantId, const QString &serial)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT reported_at, apps_json FROM installed_apps"
                                       " WHERE serial = :serial AND tenant_id = :tenant"),
                        QStringLiteral("cannot read installed apps"));
    select.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId);
    return select.firstRow(
        [](const SqlStatement &row) {
            return InstalledApps{row.value(0).toString(),
                                 QJsonDocument::fromJson(row.value(1).toString().toUtf8()).array()};
        },
        QStringLiteral("no installed apps from %1").arg(serial));
}

StoreResult<qint64> ReportStore::addLog(qint64 tenantId, const QString &serial, const QString &bundleId, const QString &text,
                                        const QDateTime &now)
{
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO app_logs (tenant_id, serial, bundle_id, log_text, created_at)"
                                       " VALUES (:tenant, :serial, :bundle, :text, :at)"),
                        QStringLiteral("cannot store log"));
    insert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":bundle"), bundleId)
        .bind(QStringLiteral(":text"), text)
        .bind(QStringLiteral(":at"), isoTime(now));
    return insert.insertedId();
}

StoreResult<QList<AppLogRecord>> ReportStore::logs(qint64 tenantId, const QString &serial, const QString &bundleId, int limit)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT id, bundle_id, log_text, created_at FROM app_logs"
                                       " WHERE serial = :serial AND tenant_id = :tenant"
                                       " AND (:any_bundle = '' OR bundle_id = :bundle)"
                                       " ORDER BY id DESC LIMIT :limit"),
                        QStringLiteral("cannot read logs"));
    select.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":any_bundle"), bundleId)
        .bind(QStringLiteral(":bundle"), bundleId)
        .bind(QStringLiteral(":limit"), limit);
    return select.rows([&serial](const SqlStatement &row) {
        return AppLogRecord{row.value(0).toLongLong(), serial, row.value(1).toString(), row.value(2).toString(),
                            row.value(3).toString()};
    });
}

} // namespace vesk::fleetd
