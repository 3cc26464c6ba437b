#pragma once

#include <QJsonObject>
#include <QUuid>

#include <optional>

namespace vesk {

// One daily window of a keep-alive rule, in local time; the end minute is exclusive.
// A window whose end lies before its start runs over midnight.
struct TimeWindow {
    QUuid id = QUuid::createUuid();
    int startHour = 0;
    int startMinute = 0;
    int endHour = 0;
    int endMinute = 0;

    // Every key is required.
    static std::optional<TimeWindow> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const TimeWindow &) const = default;
};

} // namespace vesk
