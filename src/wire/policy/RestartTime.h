#pragma once

#include <QJsonObject>
#include <QUuid>

#include <optional>

namespace vesk {

// One time of day, in local time, at which a scheduled app restart is due.
struct RestartTime {
    QUuid id = QUuid::createUuid();
    int hour = 0;   // 0–23
    int minute = 0; // 0–59

    // Every key is required.
    static std::optional<RestartTime> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RestartTime &) const = default;
};

} // namespace vesk
