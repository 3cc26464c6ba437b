#pragma once

#include "wire/SpeedTestResult.h"
#include "monitor/AppSnapshot.h"
#include "monitor/SystemSnapshot.h"

#include <QJsonObject>

#include <optional>

namespace vesk {

// The reporting switches that decide which keys a telemetry report carries.
struct TelemetrySwitches {
    bool appState = false;      // "hung_apps", "running_apps"
    bool foregroundApp = false; // "foreground_app", "foreground_bundle_id"
    bool sensitive = false;     // "browser_url", "local_ip", "wifi_ssid", "network_mounts", interface addresses
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

QJsonObject buildTelemetryPayload(const TelemetryInputs &in);

// How long an app has run, as operators read it: "3d 4h", "5h 12m", "7m"; empty without a
// launch date.
QString appUptimeText(const std::optional<QDateTime> &launchDate, const QDateTime &now);

// "normal", "fair", "serious", "critical", else "unknown".
QString thermalStateName(int state);

// ISO 8601 in UTC to whole seconds with "Z", the form of every date we send.
QString isoDateTime(const QDateTime &moment);

// Rounded to two decimals, halves away from zero.
double roundToHundredths(double value);

} // namespace vesk
