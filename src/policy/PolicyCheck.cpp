#include "policy/PolicyCheck.h"

namespace vesk::PolicyCheck {

namespace {

QString at(const QString &list, qsizetype index)
{
    return QStringLiteral("%1[%2]").arg(list).arg(index);
}

std::optional<QString> outOfRange(const QString &field, qint64 value, qint64 low, qint64 high)
{
    if (value >= low && value <= high)
        return std::nullopt;
    return QStringLiteral("%1 is %2, outside %3–%4").arg(field).arg(value).arg(low).arg(high);
}

std::optional<QString> tooMany(const QString &field, qsizetype count, qsizetype limit)
{
    if (count <= limit)
        return std::nullopt;
    return QStringLiteral("%1 holds %2 entries, at most %3 are taken").arg(field).arg(count).arg(limit);
}

std::optional<QString> days(const QString &field, Weekdays value)
{
    return outOfRange(field, value.rawValue(), 0, Weekdays::everyDay().rawValue());
}

std::optional<QString> timeOfDay(const QString &field, int hour, int minute)
{
    if (auto bad = outOfRange(field + QStringLiteral(" hour"), hour, 0, 23))
        return bad;
    return outOfRange(field + QStringLiteral(" minute"), minute, 0, 59);
}

std::optional<QString> keepAlive(const KeepAliveRule &rule, const QString &field)
{
    if (auto bad = days(field + QStringLiteral(".days"), rule.days))
        return bad;
    if (auto bad = tooMany(field + QStringLiteral(".bundleIds"), rule.bundleIds.size(), maxEntriesPerRule))
        return bad;
    if (auto bad = tooMany(field + QStringLiteral(".windows"), rule.windows.size(), maxEntriesPerRule))
        return bad;
    for (qsizetype i = 0; i < rule.windows.size(); ++i) {
        const TimeWindow &window = rule.windows.at(i);
        const QString name = field + QLatin1Char('.') + at(QStringLiteral("windows"), i);
        if (auto bad = timeOfDay(name + QStringLiteral(" start"), window.startHour, window.startMinute))
            return bad;
        if (auto bad = timeOfDay(name + QStringLiteral(" end"), window.endHour, window.endMinute))
            return bad;
    }
    return std::nullopt;
}

std::optional<QString> appRestart(const AppRestartRule &rule, const QString &field)
{
    if (auto bad = days(field + QStringLiteral(".days"), rule.days))
        return bad;
    // Under an hour the app would be restarted every couple of minutes.
    if (auto bad = outOfRange(field + QStringLiteral(".intervalHours"), rule.intervalHours, 1, 24 * 366))
        return bad;
    if (rule.maxMemoryMB) {
        if (auto bad = outOfRange(field + QStringLiteral(".maxMemoryMB"), *rule.maxMemoryMB, 1, 1LL << 40))
            return bad;
    }
    if (auto bad = tooMany(field + QStringLiteral(".scheduledTimes"), rule.scheduledTimes.size(), maxEntriesPerRule))
        return bad;
    for (qsizetype i = 0; i < rule.scheduledTimes.size(); ++i) {
        const RestartTime &time = rule.scheduledTimes.at(i);
        if (auto bad = timeOfDay(field + QLatin1Char('.') + at(QStringLiteral("scheduledTimes"), i), time.hour,
                                 time.minute))
            return bad;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> problem(const DevicePolicy &policy)
{
    if (auto bad = tooMany(QStringLiteral("keepAliveRules"), policy.keepAliveRules.size(), maxRules))
        return bad;
    if (auto bad = tooMany(QStringLiteral("appRestartRules"), policy.appRestartRules.size(), maxRules))
        return bad;
    if (auto bad = tooMany(QStringLiteral("retentionRules"), policy.retentionRules.size(), maxRules))
        return bad;
    if (auto bad = tooMany(QStringLiteral("monitoredShares"), policy.monitoredShares.size(), maxRules))
        return bad;

    const RestartSchedule &schedule = policy.restartSchedule;
    if (auto bad = timeOfDay(QStringLiteral("restartSchedule"), schedule.hour, schedule.minute))
        return bad;
    if (auto bad = days(QStringLiteral("restartSchedule.days"), schedule.days))
        return bad;

    for (qsizetype i = 0; i < policy.keepAliveRules.size(); ++i) {
        if (auto bad = keepAlive(policy.keepAliveRules.at(i), at(QStringLiteral("keepAliveRules"), i)))
            return bad;
    }
    for (qsizetype i = 0; i < policy.appRestartRules.size(); ++i) {
        if (auto bad = appRestart(policy.appRestartRules.at(i), at(QStringLiteral("appRestartRules"), i)))
            return bad;
    }

    const UpdatePolicy &updates = policy.updatePolicy;
    if (auto bad = outOfRange(QStringLiteral("updatePolicy.windowStart"), updates.windowStart, 0, 23))
        return bad;
    if (auto bad = outOfRange(QStringLiteral("updatePolicy.windowEnd"), updates.windowEnd, 0, 24))
        return bad;
    return days(QStringLiteral("updatePolicy.days"), updates.days);
}

} // namespace vesk::PolicyCheck
