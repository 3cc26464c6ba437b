#pragma once

#include "wire/DecodedNetworkInterface.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// One telemetry sample as the fleet server returns it. The server sends some numeric
// columns as text, so every number reads leniently; a value that is no number reads as
// absent rather than failing the sample.
struct DeviceTelemetrySnapshot {
    QString serial;
    std::optional<double> diskTotalGb;
    std::optional<double> diskUsedGb;
    std::optional<double> diskFreeGb;
    std::optional<double> ramTotalGb;
    std::optional<double> ramUsedGb;
    std::optional<double> cpuUsage; // percent
    std::optional<qint64> cpuCores;
    std::optional<qint64> uptimeSeconds;
    std::optional<QString> thermalState;
    std::optional<QString> osVersion;
    std::optional<QString> model;
    std::optional<qint64> batteryLevel;
    std::optional<qint64> isPluggedIn; // 0 or 1
    std::optional<QString> hungApps; // JSON text: array of names
    std::optional<QString> runningApps; // JSON text: array of names
    std::optional<QString> foregroundApp;
    std::optional<QString> foregroundBundleId;
    std::optional<QString> browserURL;
    std::optional<QString> primaryInterface;
    std::optional<QString> localIP;
    std::optional<QString> wifiSSID;
    std::optional<QString> networkInterfaces; // JSON text: array of DecodedNetworkInterface
    std::optional<QString> networkMounts; // JSON text: array of mount points
    std::optional<QString> createdAt;

    // Parsed from the JSON texts above while decoding; never encoded. Text that is
    // absent or does not parse gives no list.
    std::optional<QStringList> decodedHungApps;
    std::optional<QStringList> decodedRunningApps;
    std::optional<QList<DecodedNetworkInterface>> decodedNetworkInterfaces;
    std::optional<QStringList> decodedNetworkMounts;

    static std::optional<DeviceTelemetrySnapshot> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const DeviceTelemetrySnapshot &) const = default;
};

// The answer to reading a machine's recent telemetry.
struct DeviceTelemetryResponse {
    QList<DeviceTelemetrySnapshot> telemetry;

    static std::optional<DeviceTelemetryResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const DeviceTelemetryResponse &) const = default;
};

} // namespace vesk
