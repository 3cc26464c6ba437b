#include "monitor/TelemetryPayload.h"

#include <QTimeZone>

#include <cmath>

namespace vesk {

namespace {

constexpr double kGigabyte = 1073741824.0; // 2^30

QList<ReportedNetworkInterface> reportedInterfaces(const QList<NetworkInterface> &interfaces, bool withAddresses)
{
    QList<ReportedNetworkInterface> out;
    for (const NetworkInterface &i : interfaces) {
        const std::optional<QString> address = withAddresses ? std::optional(i.ipAddress) : std::nullopt;
        out.append(ReportedNetworkInterface{i.name, i.type, address, i.isActive});
    }
    return out;
}

QList<ReportedRunningApp> reportedApps(const QList<AppSnapshot> &apps, const QDateTime &now)
{
    QList<ReportedRunningApp> out;
    for (const AppSnapshot &app : apps)
        out.append(ReportedRunningApp{app.bundleId, app.name, app.pid, roundToTenths(app.cpuPercent),
                                      roundToTenths(app.memoryMB), app.isResponding,
                                      appUptimeText(app.launchDate, now)});
    return out;
}

} // namespace

double roundToHundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
}

double roundToTenths(double value)
{
    return std::round(value * 10.0) / 10.0;
}

QString thermalStateName(int state)
{
    switch (state) {
    case 0: return QStringLiteral("normal");
    case 1: return QStringLiteral("fair");
    case 2: return QStringLiteral("serious");
    case 3: return QStringLiteral("critical");
    default: return QStringLiteral("unknown");
    }
}

QString appUptimeText(const std::optional<QDateTime> &launchDate, const QDateTime &now)
{
    if (!launchDate)
        return {};
    // A launch date ahead of our clock (set back since) reads as just started.
    const qint64 s = std::max<qint64>(launchDate->secsTo(now), 0);
    const qint64 hours = s / 3600;
    const qint64 minutes = (s - hours * 3600) / 60;
    if (s >= 90000)
        return QStringLiteral("%1d %2h").arg(hours / 24).arg(hours % 24);
    if (s >= 3600)
        return QStringLiteral("%1h %2m").arg(hours).arg(minutes);
    return QStringLiteral("%1m").arg(minutes);
}

TelemetryReport buildTelemetryReport(const TelemetryInputs &in)
{
    const SystemSnapshot &s = in.snapshot;
    TelemetryReport r;
    r.serial = in.serial;
    r.timestamp = in.now;
    // Figures go rounded to what they mean (GB to hundredths, percent and MB to tenths): the
    // digits beyond are noise, and they cost bytes in every report.
    r.diskTotalGb = roundToHundredths(double(s.diskTotal) / kGigabyte);
    r.diskUsedGb = roundToHundredths(double(s.diskUsed) / kGigabyte);
    r.diskFreeGb = roundToHundredths(double(s.diskFree) / kGigabyte);
    r.ramTotalGb = roundToHundredths(double(s.ramTotal) / kGigabyte);
    r.ramUsedGb = roundToHundredths(double(s.ramUsed) / kGigabyte);
    r.cpuUsage = roundToTenths(s.cpuUsage);
    r.cpuCores = s.cpuCoreCount;
    r.uptimeSeconds = qint64(s.uptimeSeconds);
    r.thermalState = thermalStateName(s.thermalState);
    r.osVersion = s.osVersion;
    r.model = s.modelName;
    r.primaryInterface = s.primaryInterface;
    r.networkInterfaces = reportedInterfaces(s.networkInterfaces, in.switches.sensitive);

    if (in.switches.appState) {
        r.hungApps = in.hungApps;
        r.runningApps = reportedApps(in.apps, in.now);
    }
    if (in.switches.foregroundApp) {
        r.foregroundApp = s.foregroundApp;
        r.foregroundBundleId = s.foregroundBundleId;
    }
    if (in.switches.sensitive) {
        r.browserUrl = s.browserURL;
        r.localIp = s.localIP;
        r.wifiSsid = s.wifiSSID;
        if (!s.networkMounts.isEmpty())
            r.networkMounts = s.networkMounts;
    }
    if (s.batteryLevel && s.isPluggedIn) {
        r.batteryLevel = *s.batteryLevel;
        r.isPluggedIn = *s.isPluggedIn;
    }
    if (in.lastPolicySync > 0)
        r.lastPolicySync = QDateTime::fromMSecsSinceEpoch(qint64(in.lastPolicySync * 1000.0), QTimeZone::utc());
    if (in.speedTest) {
        r.speedDownloadMbps = roundToHundredths(in.speedTest->downloadMbps);
        r.speedUploadMbps = roundToHundredths(in.speedTest->uploadMbps);
        r.speedLatencyMs = roundToHundredths(in.speedTest->latencyMs);
    }
    return r;
}

} // namespace vesk
