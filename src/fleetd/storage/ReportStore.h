#pragma once

#include "fleetd/records/AppLogRecord.h"
#include "fleetd/records/TelemetryRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>

namespace vesk::fleetd {

// What machines report about themselves: telemetry, installed apps and app logs.
// Rows are per serial; the caller checks that the serial is the tenant's.
class ReportStore {
public:
    struct InstalledApps {
        QString reportedAt;
        QJsonArray apps;
    };

    explicit ReportStore(StoreConnection &connection) : m_connection(connection) {}

    StoreStatus addTelemetry(const QString &serial, const QJsonObject &body, const QDateTime &now);
    // Reports received at or after `since`, oldest first, at most `limit`.
    StoreResult<QList<TelemetryRecord>> telemetrySince(const QString &serial, const QDateTime &since, int limit);
    // NotFound before the first report.
    StoreResult<TelemetryRecord> latestTelemetry(const QString &serial);

    // Each report replaces the previous one.
    StoreStatus putInstalledApps(const QString &serial, const QJsonArray &apps, const QDateTime &now);
    // NotFound before the first report.
    StoreResult<InstalledApps> installedApps(const QString &serial);

    StoreResult<qint64> addLog(const QString &serial, const QString &bundleId, const QString &text,
                               const QDateTime &now);
    // Newest first; an empty bundleId means every app.
    StoreResult<QList<AppLogRecord>> logs(const QString &serial, const QString &bundleId, int limit);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
