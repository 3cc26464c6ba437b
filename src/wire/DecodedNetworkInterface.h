#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// One network interface inside a telemetry sample's "network_interfaces" text.
struct DecodedNetworkInterface {
    QString name;
    QString type;
    QString ip_address;
    bool is_active = false;

    static std::optional<DecodedNetworkInterface> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const DecodedNetworkInterface &) const = default;
};

} // namespace vesk
