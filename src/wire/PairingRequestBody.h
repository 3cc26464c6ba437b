#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// A machine asking the fleet server for its pairing details.
struct PairingRequestBody {
    QString serial;
    QString bundleId;
    QString appVersion;
    QDateTime clientClock; // the machine's clock, so the server can spot a skewed one

    static std::optional<PairingRequestBody> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const PairingRequestBody &) const = default;
};

} // namespace vesk
