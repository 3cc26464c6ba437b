#include "monitor/TelemetryPayload.h"

#include <QJsonArray>
#include <QTimeZone>

#include <cmath>

namespace vesk {

namespace {

constexpr double kGigabyte = 1073741824.0; // 2^30

QJsonArray interfacesJson(const QList<NetworkInterface> &interfaces, bool withAddresses)
{
    QJsonArray out;
    for (const NetworkInterface &i : interfaces) {
        QJsonObject o{{QStringLiteral("name"), i.name},
                      {QStringLiteral("type"), i.type},
                      {QStringLiteral("is_active"), i.isActive}};
        if (withAddresses)
            o.insert(QStringLiteral("ip_address"), i.ipAddress);
        out.append(o);
    }
    return out;
}

QJsonArray runningAppsJson(const QList<AppSnapshot> &apps, const QDateTime &now)
{
    QJsonArray out;
    for (const AppSnapshot &app : apps) {
        out.append(QJsonObject{{QStringLiteral("bundle_id"), app.bundleId},
                               {QStringLiteral("name"), app.name},
                               {QStringLiteral("pid"), app.pid},
                               {QStringLiteral("cpu_percent"), app.cpuPercent},
                               {QStringLiteral("memory_mb"), app.memoryMB},
                               {QStringLiteral("is_responding"), app.isResponding},
                               {QStringLiteral("uptime"), appUptimeText(app.launchDate, now)}});
    }
    return out;
}

} // namespace

QString isoDateTime(const QDateTime &moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

double roundToHundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
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

QJsonObject buildTelemetryPayload(const TelemetryInputs &in)
{
    const SystemSnapshot &s = in.snapshot;
    QJsonObject p{
        {QStringLiteral("serial"), in.serial},
        {QStringLiteral("timestamp"), isoDateTime(in.now)},
        {QStringLiteral("disk_total_gb"), double(s.diskTotal) / kGigabyte},
        {QStringLiteral("disk_used_gb"), double(s.diskUsed) / kGigabyte},
        {QStringLiteral("disk_free_gb"), double(s.diskFree) / kGigabyte},
        {QStringLiteral("ram_total_gb"), double(s.ramTotal) / kGigabyte},
        {QStringLiteral("ram_used_gb"), double(s.ramUsed) / kGigabyte},
        {QStringLiteral("cpu_usage"), s.cpuUsage},
        {QStringLiteral("cpu_cores"), s.cpuCoreCount},
        {QStringLiteral("uptime_seconds"), qint64(s.uptimeSeconds)},
        {QStringLiteral("thermal_state"), thermalStateName(s.thermalState)},
        {QStringLiteral("os_version"), s.osVersion},
        {QStringLiteral("model"), s.modelName},
        {QStringLiteral("primary_interface"), s.primaryInterface},
        {QStringLiteral("network_interfaces"), interfacesJson(s.networkInterfaces, in.switches.sensitive)},
    };

    if (in.switches.appState) {
        p.insert(QStringLiteral("hung_apps"), QJsonArray::fromStringList(in.hungApps));
        p.insert(QStringLiteral("running_apps"), runningAppsJson(in.apps, in.now));
    }
    if (in.switches.foregroundApp) {
        p.insert(QStringLiteral("foreground_app"), s.foregroundApp);
        p.insert(QStringLiteral("foreground_bundle_id"), s.foregroundBundleId);
    }
    if (in.switches.sensitive) {
        if (s.browserURL)
            p.insert(QStringLiteral("browser_url"), *s.browserURL);
        p.insert(QStringLiteral("local_ip"), s.localIP);
        if (s.wifiSSID)
            p.insert(QStringLiteral("wifi_ssid"), *s.wifiSSID);
        if (!s.networkMounts.isEmpty())
            p.insert(QStringLiteral("network_mounts"), QJsonArray::fromStringList(s.networkMounts));
    }
    if (s.batteryLevel && s.isPluggedIn) {
        p.insert(QStringLiteral("battery_level"), *s.batteryLevel);
        p.insert(QStringLiteral("is_plugged_in"), *s.isPluggedIn);
    }
    if (in.lastPolicySync > 0) {
        const auto synced = QDateTime::fromMSecsSinceEpoch(qint64(in.lastPolicySync * 1000.0), QTimeZone::utc());
        p.insert(QStringLiteral("last_policy_sync"), isoDateTime(synced));
    }
    if (in.speedTest) {
        p.insert(QStringLiteral("speed_download_mbps"), roundToHundredths(in.speedTest->downloadMbps));
        p.insert(QStringLiteral("speed_upload_mbps"), roundToHundredths(in.speedTest->uploadMbps));
        p.insert(QStringLiteral("speed_latency_ms"), roundToHundredths(in.speedTest->latencyMs));
    }
    return p;
}

} // namespace vesk
