#include "commands/MonitorPostCommandReports.h"

#include "monitor/FleetAppDirectory.h"
#include "monitor/FleetReportingApi.h"
#include "monitor/SystemMonitor.h"

namespace vesk {

QCoro::Task<PostCommandReports::InstalledAppsReport> MonitorPostCommandReports::reportInstalledApps()
{
    FleetReportingApi &api = m_api;
    const QList<InstalledApp> found = co_await m_apps.installedFamilyApps();
    QList<RemoteInstalledApp> apps;
    for (const InstalledApp &app : found)
        apps.append(reportRecord(app));
    const int count = int(apps.size());
    const APIStatus status = co_await api.reportInstalledApps(std::move(apps));
    co_return InstalledAppsReport{count, status.ok() ? std::nullopt : std::optional<QString>(status.errorMessage())};
}

QCoro::Task<std::optional<QString>> MonitorPostCommandReports::reportTelemetry()
{
    const QPointer<SystemMonitor> monitor = m_monitor;
    if (!monitor)
        co_return std::nullopt;
    monitor->refresh();
    TelemetryReport report = monitor->telemetryReport(monitor->serial());
    FleetReportingApi &api = m_api;
    const APIStatus status = co_await api.reportTelemetry(std::move(report));
    co_return status.ok() ? std::nullopt : std::optional<QString>(status.errorMessage());
}

} // namespace vesk
