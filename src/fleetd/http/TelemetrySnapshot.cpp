#include "fleetd/http/TelemetrySnapshot.h"

#include "fleetd/FleetdLog.h"
#include "wire/TelemetryReport.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

QString jsonText(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::optional<QString> namesText(const std::optional<QStringList> &names)
{
    if (!names)
        return std::nullopt;
    return jsonText(QJsonArray::fromStringList(*names));
}

// The snapshot lists running apps by name, the bundle id standing in for a missing one.
QString appNamesText(const QList<ReportedRunningApp> &apps)
{
    QStringList names;
    for (const ReportedRunningApp &app : apps)
        names.append(app.name.isEmpty() ? app.bundleId : app.name);
    return jsonText(QJsonArray::fromStringList(names));
}

// Every interface gets all four members, so the snapshot's strict decoding succeeds
// even when the machine withholds addresses.
QString interfacesText(const QList<ReportedNetworkInterface> &interfaces)
{
    QJsonArray result;
    for (const ReportedNetworkInterface &in : interfaces) {
        const DecodedNetworkInterface decoded{in.name, in.type, in.ipAddress.value_or(QString()), in.isActive};
        result.append(decoded.toJson());
    }
    return jsonText(result);
}

} // namespace

DeviceTelemetrySnapshot toWire(const TelemetryRecord &record)
{
    DeviceTelemetrySnapshot snapshot;
    snapshot.serial = record.serial;
    snapshot.createdAt = record.receivedAt;
    QString error;
    const std::optional<TelemetryReport> report = TelemetryReport::fromJson(record.body, &error);
    if (!report) {
        qCWarning(lcFleetd) << "telemetry of" << record.serial << "answered without its values:" << error;
        return snapshot;
    }
    snapshot.diskTotalGb = report->diskTotalGb;
    snapshot.diskUsedGb = report->diskUsedGb;
    snapshot.diskFreeGb = report->diskFreeGb;
    snapshot.ramTotalGb = report->ramTotalGb;
    snapshot.ramUsedGb = report->ramUsedGb;
    snapshot.cpuUsage = report->cpuUsage;
    snapshot.cpuCores = report->cpuCores;
    snapshot.uptimeSeconds = report->uptimeSeconds;
    snapshot.thermalState = report->thermalState;
    snapshot.osVersion = report->osVersion;
    snapshot.model = report->model;
    snapshot.batteryLevel = report->batteryLevel;
    if (report->isPluggedIn)
        snapshot.isPluggedIn = *report->isPluggedIn ? 1 : 0;
    snapshot.hungApps = namesText(report->hungApps);
    if (report->runningApps)
        snapshot.runningApps = appNamesText(*report->runningApps);
    snapshot.foregroundApp = report->foregroundApp;
    snapshot.foregroundBundleId = report->foregroundBundleId;
    snapshot.browserURL = report->browserUrl;
    snapshot.primaryInterface = report->primaryInterface;
    snapshot.localIP = report->localIp;
    snapshot.wifiSSID = report->wifiSsid;
    snapshot.networkInterfaces = interfacesText(report->networkInterfaces);
    snapshot.networkMounts = namesText(report->networkMounts);
    return snapshot;
}

} // namespace vesk::fleetd
