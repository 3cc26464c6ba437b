#pragma once

#include "wire/policy/Weekdays.h"

#include <QJsonObject>

#include <optional>

namespace vesk {

// The policy's weekly restart of the whole machine. A policy without one gets the
// default: off, 01:00, every day.
struct RestartSchedule {
    bool enabled = false;
    int hour = 1;
    int minute = 0;
    Weekdays days = Weekdays::everyDay();

    // Every key is required when the object is present.
    static std::optional<RestartSchedule> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RestartSchedule &) const = default;
};

} // namespace vesk
