#pragma once

#include "fleetd/records/AppLogRecord.h"
#include "fleetd/records/TelemetryRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>

namespace vesk::fleetd {

// What machines report about themselves: telemetry, installed apps and app logs.
// Every row carries the tenant that received it and is read back only by that
// tenant, so a machine's new owner never sees what it told the old one. The caller
// checks that the serial is the tenant's.
class ReportStore {
public:
    struct InstalledApps {
        QString reportedAt;
        QJsonArray apps;
    };

    explicit ReportStore(StoreConnection &connection) : m_connection(connection) {}

    StoreStatus addTelemetry(qint64 tenantId, const QString &serial, const QJsonObject &body, const QDateTime &now);
    // Reports received at or after `since`, oldest first, at most `limit`.
    StoreResult<QList<TelemetryRecord>> telemetrySince(qint64 tenantId, const QString &serial, const QDateTime &since, int limit);
    // NotFound before the first report.
    StoreResult<TelemetryRecord> latestTelemetry(qint64 tenantId, const QString &serial);

    // Each report replaces the previous one, whoever received it.
    StoreStatus putInstalledApps(qint64 tenantId, const QString &serial, const QJsonArray &apps, const QDateTime &now);
    // NotFound before the first report.
    StoreResult<InstalledApps> installedApps(qint64 tenantId, const QString &serial);

    StoreResult<qint64> addLog(qint64 tenantId, const QString &serial, const QString &bundleId, const QString &text,
                               const QDateTime &now);
    // Newest first; an empty bundleId means every app.
    StoreResult<QList<AppLogRecord>> logs(qint64 tenantId, const QString &serial, const QString &bundleId, int limit);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
