#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// The answer of the fleet server's write routes: "status": "ok" and, for a route that stores
// something, what it stored under that route's key.
struct FleetAck {
    std::optional<qint64> id;            // "id": the stored note or log
    std::optional<qint64> alertId;       // "alert_id": the stored alert
    std::optional<QString> uuid;         // "uuid": the saved policy
    std::optional<qint64> receivedBytes; // "received_bytes": the speed test's upload

    // Which member a route's new row id goes into.
    enum class IdKey { id, alertId };
    static FleetAck withId(IdKey key, qint64 value);

    static std::optional<FleetAck> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetAck &) const = default;
};

} // namespace vesk
