#pragma once

#include "settings/SuppressionDuration.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// Shapes the local notifications of every machine of one location (event code): a
// mute for a while, and alert categories that never notify. Stored with keys named as
// the members; mutedAt is seconds since 2001-01-01.
struct LocationNotificationRule {
    QString locationCode;
    QString locationName;
    std::optional<SuppressionDuration> mutedDuration; // absent: not muted
    std::optional<QDateTime> mutedAt;
    QStringList disabledCategories; // raw values of alert categories

    // Needs both a duration and a start; an open-ended mute lasts until turned back on,
    // a timed one while now is before its end.
    bool isMuted(const QDateTime &now) const;
    bool allowsCategory(const QString &category, const QDateTime &now) const;
    // "Muted until turned back on" or the time left; empty when not muted.
    QString statusText(const QDateTime &now) const;

    static std::optional<LocationNotificationRule> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const LocationNotificationRule &) const = default;
};

} // namespace vesk
