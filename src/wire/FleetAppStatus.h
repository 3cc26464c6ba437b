#pragma once

#include "wire/DeviceTelemetrySnapshot.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// One agent or app instance of a machine, as the fleet server sees it.
struct FleetAppStatus {
    QString app;
    std::optional<QString> appVersion;
    std::optional<QString> eventcode;
    std::optional<QString> locationName;
    std::optional<QString> city;
    std::optional<QString> stateRegion;
    QString status;
    std::optional<QString> lastSeen;
    std::optional<QString> firstSeen;
    qint64 consecutiveMisses = 0;
    std::optional<double> uptime90d; // percent over 90 days
    std::optional<DeviceTelemetrySnapshot> telemetry;

    static std::optional<FleetAppStatus> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetAppStatus &) const = default;
};

// The answer to reading a machine's status.
struct FleetDeviceStatus {
    QString serial;
    QList<FleetAppStatus> apps;

    static std::optional<FleetDeviceStatus> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetDeviceStatus &) const = default;
};

} // namespace vesk
