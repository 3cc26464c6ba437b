#pragma once

#include "wire/policy/TimeWindow.h"
#include "wire/policy/Weekdays.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace vesk {

// Apps that must be running during the rule's windows on the rule's days.
struct KeepAliveRule {
    QUuid id = QUuid::createUuid();
    QString name = QStringLiteral("Keep Alive Rule");
    QStringList bundleIds;
    QList<TimeWindow> windows; // empty: all day
    Weekdays days = Weekdays::everyDay();

    // Every key is required.
    static std::optional<KeepAliveRule> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const KeepAliveRule &) const = default;
};

} // namespace vesk
