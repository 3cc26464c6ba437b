#pragma once

#include "settings/SuppressionDuration.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// Mutes the offline alerts of one machine, identified by its serial number.
// Stored with keys named as the members; createdAt is seconds since 2001-01-01.
struct AlertSuppression {
    using Duration = SuppressionDuration;

    QString serial;
    SuppressionDuration duration = SuppressionDuration::indefinitely;
    QDateTime createdAt;

    // Open-ended mutes are always active; a timed one while its age is at most its length.
    bool isActive(const QDateTime &now) const;
    // "Muted indefinitely", "Until recovery", "Expired" or the time left.
    QString statusText(const QDateTime &now) const;

    static std::optional<AlertSuppression> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AlertSuppression &) const = default;
};

} // namespace vesk
