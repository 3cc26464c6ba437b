#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

// The reports sent after an app command changed what is installed or running, and by
// "report_apps". Each answers with the upload's error text, none when it went through.
class PostCommandReports {
public:
    struct InstalledAppsReport {
        int count = 0;                 // apps found and reported
        std::optional<QString> error;  // the upload's failure
    };

    virtual ~PostCommandReports() = default;

    // Discovers the installed apps and posts them.
    virtual QCoro::Task<InstalledAppsReport> reportInstalledApps() = 0;
    // Telemetry needs the system monitor; without one nothing is sent.
    virtual bool canReportTelemetry() const = 0;
    // Refreshes the monitor's sample and posts its telemetry.
    virtual QCoro::Task<std::optional<QString>> reportTelemetry() = 0;
};

} // namespace vesk
