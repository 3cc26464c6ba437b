#pragma once

#include "wire/ReportedNetworkInterface.h"
#include "wire/ReportedRunningApp.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// One telemetry report a machine posts. The optional groups follow the reporting switches
// (app state, foreground app, sensitive values) and what the machine has (a battery, a
// policy sync, a speed test); absent members are left out of the body.
struct TelemetryReport {
    QString serial;
    QDateTime timestamp;
    double diskTotalGb = 0;
    double diskUsedGb = 0;
    double diskFreeGb = 0;
    double ramTotalGb = 0;
    double ramUsedGb = 0;
    double cpuUsage = 0;
    qint64 cpuCores = 0;
    qint64 uptimeSeconds = 0;
    QString thermalState;
    QString osVersion;
    QString model;
    QString primaryInterface;
    QList<ReportedNetworkInterface> networkInterfaces;

    std::optional<QStringList> hungApps;
    std::optional<QList<ReportedRunningApp>> runningApps;
    std::optional<QString> foregroundApp;
    std::optional<QString> foregroundBundleId;
    std::optional<QString> browserUrl;
    std::optional<QString> localIp;
    std::optional<QString> wifiSsid;
    std::optional<QStringList> networkMounts;
    std::optional<qint64> batteryLevel;
    std::optional<bool> isPluggedIn;
    std::optional<QDateTime> lastPolicySync;
    std::optional<double> speedDownloadMbps;
    std::optional<double> speedUploadMbps;
    std::optional<double> speedLatencyMs;

    static std::optional<TelemetryReport> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const TelemetryReport &) const = default;
};

} // namespace vesk
