#include "wire/DeviceTelemetrySnapshot.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk {

namespace {

std::optional<QJsonArray> parseArrayText(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text->toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return document.array();
}

std::optional<QStringList> decodeNames(const std::optional<QString> &text)
{
    const std::optional<QJsonArray> array = parseArrayText(text);
    if (!array)
        return std::nullopt;
    QStringList names;
    for (const QJsonValue &item : *array) {
        if (!item.isString())
            return std::nullopt;
        names.append(item.toString());
    }
    return names;
}

std::optional<QList<DecodedNetworkInterface>> decodeInterfaces(const std::optional<QString> &text)
{
    const std::optional<QJsonArray> array = parseArrayText(text);
    if (!array)
        return std::nullopt;
    QList<DecodedNetworkInterface> interfaces;
    for (const QJsonValue &item : *array) {
        std::optional<DecodedNetworkInterface> decoded = DecodedNetworkInterface::fromJson(item, nullptr);
        if (!decoded)
            return std::nullopt;
        interfaces.append(std::move(*decoded));
    }
    return interfaces;
}

} // namespace

std::optional<DeviceTelemetrySnapshot> DeviceTelemetrySnapshot::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("DeviceTelemetrySnapshot"));
    DeviceTelemetrySnapshot r;
    r.serial = in.requiredString(QStringLiteral("serial"));
    r.diskTotalGb = in.lenientDouble(QStringLiteral("disk_total_gb"));
    r.diskUsedGb = in.lenientDouble(QStringLiteral("disk_used_gb"));
    r.diskFreeGb = in.lenientDouble(QStringLiteral("disk_free_gb"));
    r.ramTotalGb = in.lenientDouble(QStringLiteral("ram_total_gb"));
    r.ramUsedGb = in.lenientDouble(QStringLiteral("ram_used_gb"));
    r.cpuUsage = in.lenientDouble(QStringLiteral("cpu_usage"));
    r.cpuCores = in.lenientInteger(QStringLiteral("cpu_cores"));
    r.uptimeSeconds = in.lenientInteger(QStringLiteral("uptime_seconds"));
    r.thermalState = in.optionalString(QStringLiteral("thermal_state"));
    r.osVersion = in.optionalString(QStringLiteral("os_version"));
    r.model = in.optionalString(QStringLiteral("model"));
    r.batteryLevel = in.lenientInteger(QStringLiteral("battery_level"));
    r.isPluggedIn = in.lenientInteger(QStringLiteral("is_plugged_in"));
    r.hungApps = in.optionalString(QStringLiteral("hung_apps"));
    r.runningApps = in.optionalString(QStringLiteral("running_apps"));
    r.foregroundApp = in.optionalString(QStringLiteral("foreground_app"));
    r.foregroundBundleId = in.optionalString(QStringLiteral("foreground_bundle_id"));
    r.browserURL = in.optionalString(QStringLiteral("browser_url"));
    r.primaryInterface = in.optionalString(QStringLiteral("primary_interface"));
    r.localIP = in.optionalString(QStringLiteral("local_ip"));
    r.wifiSSID = in.optionalString(QStringLiteral("wifi_ssid"));
    r.networkInterfaces = in.optionalString(QStringLiteral("network_interfaces"));
    r.networkMounts = in.optionalString(QStringLiteral("network_mounts"));
    r.createdAt = in.optionalString(QStringLiteral("created_at"));
    if (in.failed())
        return in.finish(std::move(r), error);

    r.decodedHungApps = decodeNames(r.hungApps);
    r.decodedRunningApps = decodeNames(r.runningApps);
    r.decodedNetworkInterfaces = decodeInterfaces(r.networkInterfaces);
    r.decodedNetworkMounts = decodeNames(r.networkMounts);
    return in.finish(std::move(r), error);
}

QJsonObject DeviceTelemetrySnapshot::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
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
        .putInteger(QStringLiteral("battery_level"), batteryLevel)
        .putInteger(QStringLiteral("is_plugged_in"), isPluggedIn)
        .putString(QStringLiteral("hung_apps"), hungApps)
        .putString(QStringLiteral("running_apps"), runningApps)
        .putString(QStringLiteral("foreground_app"), foregroundApp)
        .putString(QStringLiteral("foreground_bundle_id"), foregroundBundleId)
        .putString(QStringLiteral("browser_url"), browserURL)
        .putString(QStringLiteral("primary_interface"), primaryInterface)
        .putString(QStringLiteral("local_ip"), localIP)
        .putString(QStringLiteral("wifi_ssid"), wifiSSID)
        .putString(QStringLiteral("network_interfaces"), networkInterfaces)
        .putString(QStringLiteral("network_mounts"), networkMounts)
        .putString(QStringLiteral("created_at"), createdAt)
        .object();
}

std::optional<DeviceTelemetryResponse> DeviceTelemetryResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("DeviceTelemetryResponse"));
    DeviceTelemetryResponse record;
    record.telemetry = in.requiredList<DeviceTelemetrySnapshot>(QStringLiteral("telemetry"));
    return in.finish(std::move(record), error);
}

QJsonObject DeviceTelemetryResponse::toJson() const
{
    return JsonWriter().putList(QStringLiteral("telemetry"), telemetry).object();
}

} // namespace vesk
