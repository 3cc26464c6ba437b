#pragma once

#include "wire/policy/RestartTime.h"
#include "wire/policy/Weekdays.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vesk {

// When one app is restarted: after running a number of hours, or at times of day;
// also when it hangs or outgrows a memory limit. Every key may be absent.
struct AppRestartRule {
    enum class Trigger { interval, scheduled };

    QUuid id = QUuid::createUuid();
    QString bundleId;
    Trigger trigger = Trigger::interval;
    int intervalHours = 4;
    QList<RestartTime> scheduledTimes;
    Weekdays days = Weekdays::everyDay();
    bool restartIfHung = true;
    std::optional<qint64> maxMemoryMB;

    static QString rawValue(Trigger trigger);
    static std::optional<Trigger> triggerFromRawValue(const QString &raw);

    static std::optional<AppRestartRule> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AppRestartRule &) const = default;
};

} // namespace vesk
