#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk {

// One running family app as the monitor last sampled it.
struct AppSnapshot {
    QString bundleId;
    QString name;
    qint32 pid = 0;
    double cpuPercent = 0;
    double memoryMB = 0;      // resident bytes / 1,048,576
    bool isResponding = true;
    std::optional<QDateTime> launchDate;

    bool operator==(const AppSnapshot &) const = default;
};

} // namespace vesk
