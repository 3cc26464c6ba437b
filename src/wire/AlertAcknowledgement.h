#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// The console marking one fleet alert as seen, or as unseen again.
struct AlertAcknowledgement {
    qint64 alertId = 0;
    bool acknowledged = false;

    static std::optional<AlertAcknowledgement> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AlertAcknowledgement &) const = default;
};

} // namespace vesk
