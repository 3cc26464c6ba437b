#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// One network interface in a telemetry report; the address only when sensitive values are shared.
struct ReportedNetworkInterface {
    QString name;
    QString type;
    std::optional<QString> ipAddress;
    bool isActive = false;

    static std::optional<ReportedNetworkInterface> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const ReportedNetworkInterface &) const = default;
};

} // namespace vesk
