#pragma once

#include "commands/PostCommandReports.h"

#include <QPointer>

namespace vesk {

class FleetAppDirectory;
class FleetReportingApi;
class SystemMonitor;

// The reports after an app command, taken from the installed-apps discovery and, once one
// is attached, the system monitor. Unlike the monitor's own reports they do not depend on
// the reporting switches.
class MonitorPostCommandReports final : public PostCommandReports {
public:
    MonitorPostCommandReports(FleetAppDirectory &apps, FleetReportingApi &api) : m_apps(apps), m_api(api) {}

    void setSystemMonitor(SystemMonitor *monitor) { m_monitor = monitor; }

    QCoro::Task<InstalledAppsReport> reportInstalledApps() override;
    bool canReportTelemetry() const override { return !m_monitor.isNull(); }
    QCoro::Task<std::optional<QString>> reportTelemetry() override;

private:
    FleetAppDirectory &m_apps;
    FleetReportingApi &m_api;
    QPointer<SystemMonitor> m_monitor;
};

} // namespace vesk
