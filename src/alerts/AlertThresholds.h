#pragma once

#include <QLatin1String>
#include <QStringList>

namespace vesk {

class DefaultsStore;

// The user-defaults keys an operator may set to move a threshold.
namespace AlertThresholdKeys {
inline constexpr QLatin1String diskPercentCritical("warden_alert_diskPercentCritical");
inline constexpr QLatin1String diskPercentWarning("warden_alert_diskPercentWarning");
inline constexpr QLatin1String ramPercentCritical("warden_alert_ramPercentCritical");
inline constexpr QLatin1String ramPercentWarning("warden_alert_ramPercentWarning");
inline constexpr QLatin1String cpuSustainedPercent("warden_alert_cpuSustainedPercent");
inline constexpr QLatin1String thermalSerious("warden_alert_thermalSerious");
inline constexpr QLatin1String hungAppDetection("warden_alert_hungAppDetection");
inline constexpr QLatin1String uptimeDaysWarning("warden_alert_uptimeDaysWarning");
inline constexpr QLatin1String consecutiveSamples("warden_alert_consecutiveSamples");
} // namespace AlertThresholdKeys

// Where health figures turn into alerts. Disk and RAM are fractions (0.90, not 90), CPU is on
// the 0-100 scale of the CPU usage, uptime in whole days. A health condition becomes an alert
// once it held in `consecutiveSamples` evaluations in a row (1: at its first sample).
struct AlertThresholds {
    double diskPercentCritical = 0.90;
    double diskPercentWarning = 0.80;
    double ramPercentCritical = 0.95;
    double ramPercentWarning = 0.85;
    double cpuSustainedPercent = 90.0;
    bool thermalSerious = true;
    bool hungAppDetection = true;
    int uptimeDaysWarning = 7;
    int consecutiveSamples = 3;

    // The stored values over the defaults. A value that is not a number (or a boolean for the
    // two switches), or lies outside its range (fractions 0...1, CPU 0...100, days 1...3650,
    // samples 1...100, both whole numbers),
    // keeps its default and its key is added to `invalidKeys`.
    static AlertThresholds fromDefaults(const DefaultsStore &defaults, QStringList *invalidKeys);

    bool operator==(const AlertThresholds &) const = default;
};

} // namespace vesk
