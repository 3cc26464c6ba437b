#pragma once

#include "wire/SpeedTestResult.h"
#include "wire/TelemetryReport.h"
#include "monitor/AppSnapshot.h"
#include "monitor/SystemSnapshot.h"

#include <optional>

namespace vesk {

// The reporting switches that decide which members a telemetry report carries.
struct TelemetrySwitches {
    bool appState = false;      // hung and running apps
    bool foregroundApp = false; // the foreground app's name and bundle id
    bool sensitive = false;     // browser URL, local IP, Wi-Fi name, network mounts, interface addresses
};

// Everything one telemetry report is built from.
struct TelemetryInputs {
    const QString &serial;
    const QDateTime &now;
    const SystemSnapshot &snapshot;
    const QList<AppSnapshot> &apps;
    const QStringList &hungApps;
    const std::optional<SpeedTestResult> &speedTest;
    double lastPolicySync = 0; // seconds since 1970; 0 when policies never synced
    TelemetrySwitches switches;
};

TelemetryReport buildTelemetryReport(const TelemetryInputs &in);

// How long an app has run, as operators read it: "3d 4h", "5h 12m", "7m"; empty without a
// launch date.
QString appUptimeText(const std::optional<QDateTime> &launchDate, const QDateTime &now);

// "normal", "fair", "serious", "critical", else "unknown".
QString thermalStateName(int state);

// Rounded to two decimals, halves away from zero.
double roundToHundredths(double value);
// Rounded to one decimal, halves away from zero.
double roundToTenths(double value);

} // namespace vesk
