#include "fleetd/storage/ReportStore.h"

#include "fleetd/storage/SqlStatement.h"

#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

QString compact(const QJsonDocument &document)
{
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

} // namespace

StoreStatus ReportStore::addTelemetry(const QString &serial, const QJsonObject &body, const QDateTime &now)
{
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO telemetry (serial, received_at, body_json)"
                                       " VALUES (:serial, :at, :body)"),
                        QStringLiteral("cannot store telemetry"));
    insert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":body"), compact(QJsonDocument(body)));
    return insert.exec() ? StoreStatus::ok() : insert.status();
}

StoreResult<QList<TelemetryRecord>> ReportStore::telemetrySince(const QString &serial, const QDateTime &since,
                                                                int limit)
{
    StoreResult<QList<TelemetryRecord>> result;
    // The newest `limit` rows of the range, then put back in time order.
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT received_at, body_json FROM (SELECT id, received_at, body_json"
                                       " FROM telemetry WHERE serial = :serial AND received_at >= :since"
                                       " ORDER BY id DESC LIMIT :limit) ORDER BY id"),
                        QStringLiteral("cannot read telemetry"));
    select.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":since"), isoTime(since))
        .bind(QStringLiteral(":limit"), limit);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    while (select.next()) {
        result.value.append({serial, select.value(0).toString(),
                             QJsonDocument::fromJson(select.value(1).toString().toUtf8()).object()});
    }
    return result;
}

StoreResult<TelemetryRecord> ReportStore::latestTelemetry(const QString &serial)
{
    StoreResult<TelemetryRecord> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT received_at, body_json FROM telemetry WHERE serial = :serial"
                                       " ORDER BY id DESC LIMIT 1"),
                        QStringLiteral("cannot read telemetry"));
    select.bind(QStringLiteral(":serial"), serial);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    if (!select.next()) {
        result.status = {StoreStatus::Code::NotFound, QStringLiteral("no telemetry from %1").arg(serial)};
        return result;
    }
    result.value = {serial, select.value(0).toString(),
                    QJsonDocument::fromJson(select.value(1).toString().toUtf8()).object()};
    return result;
}

StoreStatus ReportStore::putInstalledApps(const QString &serial, const QJsonArray &apps, const QDateTime &now)
{
    SqlStatement upsert(m_connection,
                        QStringLiteral("INSERT INTO installed_apps (serial, reported_at, apps_json)"
                                       " VALUES (:serial, :at, :apps) ON CONFLICT(serial) DO UPDATE SET"
                                       " reported_at = excluded.reported_at, apps_json = excluded.apps_json"),
                        QStringLiteral("cannot store installed apps"));
    upsert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":apps"), compact(QJsonDocument(apps)));
    return upsert.exec() ? StoreStatus::ok() : upsert.status();
}

StoreResult<ReportStore::InstalledApps> ReportStore::installedApps(const QString &serial)
{
    StoreResult<InstalledApps> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT reported_at, apps_json FROM installed_apps WHERE serial = :serial"),
                        QStringLiteral("cannot read installed apps"));
    select.bind(QStringLiteral(":serial"), serial);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    if (!select.next()) {
        result.status = {StoreStatus::Code::NotFound, QStringLiteral("no installed apps from %1").arg(serial)};
        return result;
    }
    result.value = {select.value(0).toString(), QJsonDocument::fromJson(select.value(1).toString().toUtf8()).array()};
    return result;
}

StoreResult<qint64> ReportStore::addLog(const QString &serial, const QString &bundleId, const QString &text,
                                        const QDateTime &now)
{
    StoreResult<qint64> result;
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO app_logs (serial, bundle_id, log_text, created_at)"
                                       " VALUES (:serial, :bundle, :text, :at)"),
                        QStringLiteral("cannot store log"));
    insert.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":bundle"), bundleId)
        .bind(QStringLiteral(":text"), text)
        .bind(QStringLiteral(":at"), isoTime(now));
    if (!insert.exec()) {
        result.status = insert.status();
        return result;
    }
    result.value = insert.lastInsertId();
    return result;
}

StoreResult<QList<AppLogRecord>> ReportStore::logs(const QString &serial, const QString &bundleId, int limit)
{
    StoreResult<QList<AppLogRecord>> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT id, bundle_id, log_text, created_at FROM app_logs"
                                       " WHERE serial = :serial AND (:any_bundle = '' OR bundle_id = :bundle)"
                                       " ORDER BY id DESC LIMIT :limit"),
                        QStringLiteral("cannot read logs"));
    select.bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":any_bundle"), bundleId)
        .bind(QStringLiteral(":bundle"), bundleId)
        .bind(QStringLiteral(":limit"), limit);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    while (select.next()) {
        result.value.append({select.value(0).toLongLong(), serial, select.value(1).toString(),
                             select.value(2).toString(), select.value(3).toString()});
    }
    return result;
}

} // namespace vesk::fleetd
