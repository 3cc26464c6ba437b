// The scheduled machine restart with its warning, and the enforcement pause.
#include "policy/PolicyEngine.h"

#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"
#include "policy/PauseDurations.h"
#include "settings/FleetSettingsStore.h"

namespace vesk {

namespace {
const QString lastRestartKey = QStringLiteral("lastPolicyRestart");
// A scheduled minute is seen by several passes; one restart per minute.
constexpr double restartSpacingSeconds = 120;

double secondsSince1970(const QDateTime &moment)
{
    return double(moment.toMSecsSinceEpoch()) / 1000.0;
}
} // namespace

void PolicyEngine::checkRestartSchedule(const RestartSchedule &schedule, int hour, int minute, int weekday)
{
    if (hour != schedule.hour || minute != schedule.minute || !schedule.days.containsCalendarWeekday(weekday))
        return;
    DefaultsStore &defaults = m_settings.defaults();
    const double now = secondsSince1970(m_clock.now());
    // Stored in the defaults, so a relaunch within the minute does not restart again.
    const double last = defaults.object(lastRestartKey).toDouble();
    if (now - last <= restartSpacingSeconds || m_pendingRestartAt)
        return;
    defaults.setValue(lastRestartKey, now);
    const int warning = m_restartWarningSeconds;
    m_pendingRestartAt = m_clock.now().addSecs(warning);
    appendLog(QStringLiteral("Scheduled restart in %1s — warning shown").arg(warning));
    if (m_restartWarningStop)
        m_restartWarningStop->requestStop();
    m_restartWarningStop = StopSource();
    restartCountdown(QPointer<PolicyEngine>(this), m_clock, warning, m_restartWarningStop->token());
}

QCoro::Task<> PolicyEngine::restartCountdown(QPointer<PolicyEngine> self, Clock &clock, int seconds, StopToken token)
{
    // The countdown is its own task: a pause that starts during the warning does not stop it.
    const bool slept = co_await clock.sleep(std::chrono::seconds(seconds), token);
    if (!slept || !self || token.stopRequested())
        co_return;
    self->m_pendingRestartAt.reset();
    self->m_restartWarningStop.reset();
    self->appendLog(QStringLiteral("Executing scheduled restart from policy"));
    runMachineRestart(self, self->m_machineRestart);
}

QCoro::Task<> PolicyEngine::runMachineRestart(QPointer<PolicyEngine> self, ComputerRestart restart)
{
    const CommandResult result = co_await restart.run();
    if (result.success) {
        if (result.quitAgentAfterReport)
            restart.quitAgent();
        co_return;
    }
    if (self)
        self->appendLog(QStringLiteral("Restart failed: ") + result.message.value_or(QStringLiteral("Unknown")));
}

void PolicyEngine::pauseEnforcement(std::optional<int> minutes)
{
    m_isPaused = true;
    if (m_resumeStop) {
        m_resumeStop->requestStop();
        m_resumeStop.reset();
    }
    if (!minutes) {
        m_pauseResumeAt.reset();
        appendLog(QStringLiteral("Enforcement paused indefinitely"));
        return;
    }
    m_pauseResumeAt = m_clock.now().addSecs(qint64(*minutes) * 60);
    appendLog(QStringLiteral("Enforcement paused for %1 minutes").arg(*minutes));
    m_resumeStop = StopSource();
    resumeTimer(QPointer<PolicyEngine>(this), m_clock, *minutes, m_resumeStop->token());
}

QCoro::Task<> PolicyEngine::resumeTimer(QPointer<PolicyEngine> self, Clock &clock, int minutes, StopToken token)
{
    const bool slept = co_await clock.sleep(std::chrono::minutes(minutes), token);
    if (!slept || !self || token.stopRequested())
        co_return;
    self->m_resumeStop.reset(); // this timer is done; nothing left to cancel
    self->resumeEnforcement();
}

void PolicyEngine::resumeEnforcement()
{
    m_isPaused = false;
    m_pauseResumeAt.reset();
    if (m_resumeStop) {
        m_resumeStop->requestStop();
        m_resumeStop.reset();
    }
    appendLog(QStringLiteral("Enforcement resumed"));
}

std::optional<QString> PolicyEngine::pauseRemainingText() const
{
    if (!m_isPaused || !m_pauseResumeAt)
        return std::nullopt;
    const qint64 seconds = std::max<qint64>(0, m_clock.now().msecsTo(*m_pauseResumeAt) / 1000);
    const qint64 minutes = seconds / 60;
    if (seconds < 3600)
        return QStringLiteral("%1m").arg(minutes);
    return QStringLiteral("%1h %2m").arg(minutes / 60).arg(minutes % 60);
}

QList<int> PolicyEngine::pauseDurations() const
{
    const QVariant stored = m_settings.defaults().object(QString::fromLatin1(PauseDurations::settingsKey));
    return PauseDurations::parse(stored.isValid() ? stored.toString() : QString::fromLatin1(PauseDurations::defaultText));
}

} // namespace vesk
