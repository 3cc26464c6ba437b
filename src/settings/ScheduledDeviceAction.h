#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace vesk {

// An action to run later on this Mac, kept in the settings store.
// Stored with camelCase keys; the date is seconds since 2001-01-01.
struct ScheduledDeviceAction {
    QUuid id;
    QString command;
    std::optional<QString> bundleId;
    QDateTime at;

    static std::optional<ScheduledDeviceAction> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const ScheduledDeviceAction &) const = default;
};

} // namespace vesk
