#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vesk {

enum class AlertSeverity { info, warning, critical };

enum class AlertCategory { disk, memory, cpu, thermal, appHung, uptime, battery, offline, network };

namespace AlertSeverities {
// "info", "warning", "critical".
QString rawValue(AlertSeverity severity);
} // namespace AlertSeverities

namespace AlertCategories {
// Every case, in the order the console lists them.
QList<AlertCategory> all();
// "disk", "memory", "cpu", "thermal", "app_hung", "uptime", "battery", "offline", "network".
QString rawValue(AlertCategory category);
std::optional<AlertCategory> fromRawValue(const QString &raw);
} // namespace AlertCategories

// One alert about one machine; never changed once made.
struct WardenAlert {
    QUuid id;
    QDateTime timestamp;
    AlertSeverity severity = AlertSeverity::info;
    AlertCategory category = AlertCategory::disk;
    QString title;
    QString message;
    QString serial;

    // Category and severity, e.g. "disk_critical": one reporting window per key.
    QString key() const;

    // A fresh id; the rest as given.
    static WardenAlert make(AlertSeverity severity, AlertCategory category, QString title, QString message,
                            QString serial, QDateTime timestamp);
    bool operator==(const WardenAlert &) const = default;
};

} // namespace vesk
