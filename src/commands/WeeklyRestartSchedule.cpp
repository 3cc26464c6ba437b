#include "commands/WeeklyRestartSchedule.h"

#include "platform/DefaultsStore.h"

namespace vesk {

namespace {

const QString enabledKey = QStringLiteral("scheduledRestartEnabled");
const QString hourKey = QStringLiteral("scheduledRestartHour");
const QString minuteKey = QStringLiteral("scheduledRestartMinute");
const QString daysKey = QStringLiteral("scheduledRestartDays");
const QString lastKey = QStringLiteral("lastScheduledRestart");
// Two passes run 30 s apart; more than that keeps one minute to one restart.
constexpr double guardSeconds = 120.0;

int intValue(const DefaultsStore &defaults, const QString &key)
{
    return defaults.object(key).toInt();
}

// Sunday = bit 0 … Saturday = bit 6; Qt counts Monday = 1 … Sunday = 7.
int weekdayBit(const QDate &date)
{
    return 1 << (date.dayOfWeek() % 7);
}

} // namespace

bool WeeklyRestartSchedule::claimIfDue(DefaultsStore &defaults, const QDateTime &localNow)
{
    if (!defaults.boolValue(enabledKey))
        return false;
    const int days = intValue(defaults, daysKey);
    if ((days & weekdayBit(localNow.date())) == 0)
        return false;
    if (localNow.time().hour() != intValue(defaults, hourKey) || localNow.time().minute() != intValue(defaults, minuteKey))
        return false;
    const double now = double(localNow.toMSecsSinceEpoch()) / 1000.0;
    const double last = defaults.object(lastKey).toDouble();
    if (now - last <= guardSeconds)
        return false;
    defaults.setValue(lastKey, now);
    return true;
}

} // namespace vesk
