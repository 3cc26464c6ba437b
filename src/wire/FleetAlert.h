#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// One alert in the fleet's alert list. The console reads only some members and servers
// differ in the rest, so every member is optional and read leniently: a member of another
// type is absent rather than a failure of the whole list.
struct FleetAlert {
    std::optional<qint64> id;
    std::optional<qint64> alertId; // the identifier to send back when acknowledging
    std::optional<QString> serial;
    std::optional<QString> severity;
    std::optional<QString> category;
    std::optional<QString> title;
    std::optional<QString> message;
    std::optional<QString> timestamp;
    std::optional<QString> receivedAt;
    std::optional<QString> tenantCode;
    std::optional<bool> acknowledged;
    std::optional<QString> acknowledgedBy;
    std::optional<QString> acknowledgedAt;

    // "alert_id", else "id".
    std::optional<qint64> identifier() const { return alertId ? alertId : id; }

    static std::optional<FleetAlert> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetAlert &) const = default;
};

// The answer to reading the fleet's alerts.
struct FleetAlertsResponse {
    QList<FleetAlert> alerts;

    static std::optional<FleetAlertsResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetAlertsResponse &) const = default;
};

} // namespace vesk
