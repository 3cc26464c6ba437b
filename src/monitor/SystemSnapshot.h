#pragma once

#include "platform/SystemInfoTypes.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// The whole machine at one moment, as the monitor last sampled it. A fresh snapshot has
// zeros, empty texts, no optionals and empty lists.
struct SystemSnapshot {
    qint64 diskTotal = 0;
    qint64 diskUsed = 0;
    qint64 diskFree = 0;
    quint64 ramTotal = 0;
    quint64 ramUsed = 0;
    double ramPressure = 0;   // ramUsed / ramTotal, 0...1
    double cpuUsage = 0;      // percent busy, 0...100
    int cpuCoreCount = 0;
    double uptimeSeconds = 0;
    int thermalState = 0;     // 0 nominal ... 3 critical
    std::optional<int> batteryLevel;
    std::optional<bool> isPluggedIn;
    QString osVersion;
    QString modelName;
    QString foregroundApp;
    QString foregroundBundleId;
    std::optional<QString> browserURL;
    QList<NetworkInterface> networkInterfaces;
    QString primaryInterface;
    QString localIP;
    std::optional<QString> wifiSSID;
    QStringList networkMounts;
    QDateTime timestamp;      // when sampling began

    bool operator==(const SystemSnapshot &) const = default;
};

} // namespace vesk
