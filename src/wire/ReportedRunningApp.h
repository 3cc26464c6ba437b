#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// One running family application in a telemetry report.
struct ReportedRunningApp {
    QString bundleId;
    QString name;
    qint64 pid = 0;
    double cpuPercent = 0;
    double memoryMb = 0;
    bool isResponding = true;
    QString uptime; // as operators read it ("5h 12m"); empty without a launch date

    static std::optional<ReportedRunningApp> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const ReportedRunningApp &) const = default;
};

} // namespace vesk
