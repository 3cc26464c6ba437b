#include "commands/ScheduledWork.h"

#include "settings/FleetSettingsStore.h"
#include "commands/PinnedVersions.h"
#include "commands/ScheduledUpdates.h"
#include "commands/UpdateCommands.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"

namespace vesk {

namespace {

// The weekly restart configured on this machine: "scheduledRestartEnabled", "…Hour",
// "…Minute", "…Days" as a weekday mask (Sunday = 1), and its guard "lastScheduledRestart".
const QString restartEnabledKey = QStringLiteral("scheduledRestartEnabled");
const QString restartHourKey = QStringLiteral("scheduledRestartHour");
const QString restartMinuteKey = QStringLiteral("scheduledRestartMinute");
const QString restartDaysKey = QStringLiteral("scheduledRestartDays");
const QString lastRestartKey = QStringLiteral("lastScheduledRestart");
// Two passes run 30 s apart; more than that keeps one minute to one restart.
constexpr double restartGuardSeconds = 120.0;

int intValue(const DefaultsStore &defaults, const QString &key)
{
    return defaults.object(key).toInt();
}

// Sunday = bit 0 … Saturday = bit 6; Qt counts Monday = 1 … Sunday = 7.
int weekdayBit(const QDate &date)
{
    return 1 << (date.dayOfWeek() % 7);
}

// True when the weekly restart is due at `localNow` (weekday, hour and minute match) and
// the last one is more than 120 s ago; the time is then recorded before anything else
// happens, so a second pass in the same minute finds it and does nothing.
bool claimWeeklyRestartIfDue(DefaultsStore &defaults, const QDateTime &localNow)
{
    if (!defaults.boolValue(restartEnabledKey))
        return false;
    const int days = intValue(defaults, restartDaysKey);
    if ((days & weekdayBit(localNow.date())) == 0)
        return false;
    if (localNow.time().hour() != intValue(defaults, restartHourKey) ||
        localNow.time().minute() != intValue(defaults, restartMinuteKey))
        return false;
    const double now = double(localNow.toMSecsSinceEpoch()) / 1000.0;
    const double last = defaults.object(lastRestartKey).toDouble();
    if (now - last <= restartGuardSeconds)
        return false;
    defaults.setValue(lastRestartKey, now);
    return true;
}

} // namespace

ScheduledWork::ScheduledWork(FleetSettingsStore &settings, Clock &clock, ComputerRestart restart,
                             ResultReporter reporter, AppActions apps)
    : m_settings(&settings), m_clock(&clock), m_restart(std::move(restart)), m_reporter(reporter), m_apps(apps)
{
}

QCoro::Task<> ScheduledWork::runOnce(StopToken token) const
{
    const ScheduledWork work = *this;
    work.startWeeklyRestartIfDue();
    if (work.m_updates) {
        co_await runDueUpdates(work, token);
        if (token.stopRequested())
            co_return;
    }
    co_await runDueActions(work, token);
}

void ScheduledWork::startWeeklyRestartIfDue() const
{
    if (claimWeeklyRestartIfDue(m_settings->defaults(), m_clock->localNow()))
        restartOnSchedule(m_restart, m_reporter);
}

QCoro::Task<> ScheduledWork::restartOnSchedule(ComputerRestart restart, ResultReporter reporter)
{
    const CommandResult result = co_await restart.run();
    // A failed restart is only logged (by the restart itself); the fleet hears of successes.
    if (result.success)
        co_await reporter.report(0, CommandResult::ok(QStringLiteral("Scheduled restart executed")));
    if (result.quitAgentAfterReport)
        restart.quitAgent();
}

QCoro::Task<> ScheduledWork::runDueUpdates(ScheduledWork work, StopToken token)
{
    DefaultsStore &defaults = work.m_settings->defaults();
    const QList<AvailableUpdate> available = work.m_updates->availableUpdates();
    for (const AvailableUpdate &update : available) {
        if (!ScheduledUpdates::isDue(defaults, update.bundleId, work.m_clock->now()))
            continue;
        ScheduledUpdates::clear(defaults, update.bundleId);
        const CommandResult installed = co_await work.m_updates->update(update, PinnedVersions::read(defaults));
        const CommandResult reported{installed.success, QStringLiteral("Scheduled: ") + installed.message.value_or(QString())};
        co_await work.m_reporter.report(0, reported);
        if (token.stopRequested())
            co_return;
    }
}

QCoro::Task<> ScheduledWork::runDueActions(ScheduledWork work, StopToken token)
{
    const QDateTime now = work.m_clock->now();
    const QList<ScheduledDeviceAction> actions = work.m_settings->scheduledActions();
    for (const ScheduledDeviceAction &action : actions) {
        if (action.at > now)
            continue;
        // Removed first, so an action that brings the agent down is not run a second time.
        work.m_settings->removeScheduledAction(action.id);
        if (action.command == QLatin1String("restart")) {
            qCInfo(lcFleet).noquote() << "Executing scheduled computer restart";
            const CommandResult result = co_await work.m_restart.run();
            // Deferred actions report nothing, so nothing holds the agent back.
            if (result.quitAgentAfterReport)
                work.m_restart.quitAgent();
        } else if (action.command == QLatin1String("restart_app")) {
            if (!action.bundleId || action.bundleId->isEmpty())
                continue;
            qCInfo(lcFleet).noquote() << QStringLiteral("Executing scheduled restart of ") + *action.bundleId;
            const CommandResult result = co_await work.m_apps.restartApp(*action.bundleId, token);
            Q_UNUSED(result)
        } else {
            qCCritical(lcFleet).noquote() << QStringLiteral("Unknown scheduled action %1 dropped").arg(action.command);
            continue;
        }
        if (token.stopRequested())
            co_return;
    }
}

} // namespace vesk
