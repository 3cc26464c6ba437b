#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// What machines report about themselves (all authenticated, serial of the tenant):
//   POST device_telemetry {"serial", ...} stored as sent;
//   GET  device_telemetry?serial&hours (default 24, 1-2160) → {"telemetry": [snapshots]}, oldest first;
//   POST device_installed_apps {"serial", "apps": [{"bundle_id", ...}]} replaces the list;
//   GET  device_installed_apps?serial → {"serial", "apps"} ("apps" empty before a report);
//   POST device_logs {"serial", "bundle_id", "log_text"}, bodies up to kMaxLogBodyBytes;
//   GET  device_logs?serial&limit (default 50, 1-500)&bundle_id → {"serial", "logs"}, newest first.
class ReportHandlers {
public:
    static constexpr qsizetype kMaxLogBodyBytes = 8 * 1024 * 1024;
    static constexpr int kMaxTelemetryRows = 10000;

    explicit ReportHandlers(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse postTelemetry(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse getTelemetry(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse postInstalledApps(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse getInstalledApps(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse postLog(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse getLogs(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
