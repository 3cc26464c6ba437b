#include "wire/TelemetryReport.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<TelemetryReport> TelemetryReport::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("TelemetryReport"));
    TelemetryReport r;
    r.serial = in.requiredString(QStringLiteral("serial"));
    r.timestamp = in.requiredIsoDate(QStringLiteral("timestamp"));
    r.diskTotalGb = in.requiredDouble(QStringLiteral("disk_total_gb"));
    r.diskUsedGb = in.requiredDouble(QStringLiteral("disk_used_gb"));
    r.diskFreeGb = in.requiredDouble(QStringLiteral("disk_free_gb"));
    r.ramTotalGb = in.requiredDouble(QStringLiteral("ram_total_gb"));
    r.ramUsedGb = in.requiredDouble(QStringLiteral("ram_used_gb"));
    r.cpuUsage = in.requiredDouble(QStringLiteral("cpu_usage"));
    r.cpuCores = in.requiredInteger(QStringLiteral("cpu_cores"));
    r.uptimeSeconds = in.requiredInteger(QStringLiteral("uptime_seconds"));
    r.thermalState = in.requiredString(QStringLiteral("thermal_state"));
    r.osVersion = in.requiredString(QStringLiteral("os_version"));
    r.model = in.requiredString(QStringLiteral("model"));
    r.primaryInterface = in.requiredString(QStringLiteral("primary_interface"));
    r.networkInterfaces = in.requiredList<ReportedNetworkInterface>(QStringLiteral("network_interfaces"));
    r.hungApps = in.optionalStringList(QStringLiteral("hung_apps"));
    r.runningApps = in.optionalList<ReportedRunningApp>(QStringLiteral("running_apps"));
    r.foregroundApp = in.optionalString(QStringLiteral("foreground_app"));
    r.foregroundBundleId = in.optionalString(QStringLiteral("foreground_bundle_id"));
    r.browserUrl = in.optionalString(QStringLiteral("browser_url"));
    r.localIp = in.optionalString(QStringLiteral("local_ip"));
    r.wifiSsid = in.optionalString(QStringLiteral("wifi_ssid"));
    r.networkMounts = in.optionalStringList(QStringLiteral("network_mounts"));
    r.batteryLevel = in.optionalInteger(QStringLiteral("battery_level"));
    r.isPluggedIn = in.lenientBool(QStringLiteral("is_plugged_in"));
    r.lastPolicySync = in.optionalIsoDate(QStringLiteral("last_policy_sync"));
    r.speedDownloadMbps = in.lenientDouble(QStringLiteral("speed_download_mbps"));
    r.speedUploadMbps = in.lenientDouble(QStringLiteral("speed_upload_mbps"));
    r.speedLatencyMs = in.lenientDouble(QStringLiteral("speed_latency_ms"));
    return in.finish(std::move(r), error);
}

QJsonObject TelemetryReport::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putIsoDate(QStringLiteral("timestamp"), timestamp)
        .putDouble(QStringLiteral("disk_total_gb"), diskTotalGb)
        .putDouble(QStringLiteral("disk_used_gb"), diskUsedGb)
        .putDouble(QStringLiteral("disk_free_gb"), diskFreeGb)
        .putDouble(QStringLiteral("ram_total_gb"), ramTotalGb)
        .putDouble(QStringLiteral("ram_used_gb"), ramUsedGb)
        .putDouble(QStringLiteral("cpu_usage"), cpuUsage)
        .putInteger(QStringLiteral("cpu_cores"), cpuCores)
        .putInteger(QStringLiteral("uptime_seconds"), uptimeSeconds)
        .putString(QStringLiteral("thermal_state"), thermalState)
        .putString(QStringLiteral("os_version"), osVersion)
        .putString(QStringLiteral("model"), model)
        .putString(QStringLiteral("primary_interface"), primaryInterface)
        .putList(QStringLiteral("network_interfaces"), networkInterfaces)
        .putStringList(QStringLiteral("hung_apps"), hungApps)
        .putList(QStringLiteral("running_apps"), runningApps)
        .putString(QStringLiteral("foreground_app"), foregroundApp)
        .putString(QStringLiteral("foreground_bundle_id"), foregroundBundleId)
        .putString(QStringLiteral("browser_url"), browserUrl)
        .putString(QStringLiteral("local_ip"), localIp)
        .putString(QStringLiteral("wifi_ssid"), wifiSsid)
        .putStringList(QStringLiteral("network_mounts"), networkMounts)
        .putInteger(QStringLiteral("battery_level"), batteryLevel)
        .putBool(QStringLiteral("is_plugged_in"), isPluggedIn)
        .putIsoDate(QStringLiteral("last_policy_sync"), lastPolicySync)
        .putDouble(QStringLiteral("speed_download_mbps"), speedDownloadMbps)
        .putDouble(QStringLiteral("speed_upload_mbps"), speedUploadMbps)
        .putDouble(QStringLiteral("speed_latency_ms"), speedLatencyMs)
        .object();
}

} // namespace vesk
