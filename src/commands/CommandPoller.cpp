#include "commands/CommandPoller.h"

#include "settings/FleetSettingsStore.h"
#include "commands/FleetCommandChannel.h"
#include "commands/MessageCommands.h"
#include "commands/PostCommandReports.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

namespace vesk {

CommandPoller::CommandPoller(Dependencies deps, QObject *parent)
    : QObject(parent), m_fleet(deps.fleet), m_settings(deps.settings), m_clock(deps.clock), m_reports(deps.reports),
      m_messages(deps.messages), m_restart(deps.machine, std::move(deps.quitAgent)), m_reporter(deps.fleet),
      m_recent(std::make_shared<RecentCommands>(deps.storageDir)),
      m_handlers(CommandHandlers::Dependencies{
          deps.settings, deps.clock, AppActions(deps.workspace, deps.clock), m_restart,
          LogCollector(deps.processes, deps.recentLogs, deps.uploadLog), deps.reports, deps.payloads, deps.messages,
          deps.locale}),
      m_scheduledWork(deps.settings, deps.clock, m_restart, m_reporter, AppActions(deps.workspace, deps.clock))
{
}

CommandPoller::~CommandPoller()
{
    // Wakes sleeping loops now, so they end instead of waiting on a clock that outlives us.
    stop();
}

void CommandPoller::setUpdateCommands(UpdateCommands *updates)
{
    m_handlers.setUpdateCommands(updates);
    m_scheduledWork.setUpdateCommands(updates);
}

void CommandPoller::start()
{
    if (m_running)
        return;
    m_running = true;
    m_isPolling = true;
    m_stop = StopSource();
    m_messages.restoreMessage();
    emit stateChanged();
    pollLoop(QPointer<CommandPoller>(this), m_clock, m_stop.token());
    scheduledLoop(QPointer<CommandPoller>(this), m_clock, m_stop.token());
}

void CommandPoller::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_isPolling = false;
    // Replaced first: the stop resumes the loops synchronously, and a poll started from a
    // push afterwards gets a token of its own.
    StopSource stopping = m_stop;
    m_stop = StopSource();
    stopping.requestStop();
    emit stateChanged();
}

void CommandPoller::markPolled()
{
    m_lastPoll = m_clock.now();
    emit stateChanged();
}

QCoro::Task<> CommandPoller::pollOnce()
{
    if (m_pollInFlight) {
        m_pollRequested = true;
        co_return;
    }
    m_pollInFlight = true;
    const QPointer<CommandPoller> self(this);
    bool again = true;
    while (again) {
        self->m_pollRequested = false;
        co_await self->pollRound();
        if (!self)
            co_return;
        again = self->m_pollRequested;
    }
    m_pollInFlight = false;
}

QCoro::Task<> CommandPoller::pollRound()
{
    const QPointer<CommandPoller> self(this);
    if (!m_settings.fleetReportingEnabled()) {
        markPolled();
        co_return;
    }
    const StopToken token = m_stop.token();
    FleetCommandChannel &fleet = m_fleet;
    const APIResult<FleetPendingCommands> pending = co_await fleet.fetchPendingCommands();
    if (!self)
        co_return;
    if (!pending) {
        markPolled();
        qCCritical(lcFleet).noquote() << QStringLiteral("Command poll failed: ") + pending.errorMessage();
        co_return;
    }
    // Commands run strictly one after another, each reported before the next starts.
    for (const FleetCommand &command : pending->commands) {
        if (command.id > 0 && self->m_recent->find(command.id)) {
            co_await self->answerAgain(command.id);
            if (!self)
                co_return;
            continue;
        }
        self->m_lastCommand = command.command;
        emit self->stateChanged();
        const CommandResult result = co_await self->execute(command, token);
        Q_UNUSED(result)
        if (!self)
            co_return;
    }
    markPolled();
}

QCoro::Task<CommandResult> CommandPoller::execute(FleetCommand command, StopToken token)
{
    // Nothing of the poller is touched after the first suspension: a command that has
    // started finishes and is reported even if the poller goes away meanwhile.
    const ResultReporter reporter = m_reporter;
    const ComputerRestart restart = m_restart;
    PostCommandReports &reports = m_reports;
    Clock &clock = m_clock;
    const std::shared_ptr<RecentCommands> recent = m_recent;
    const QString name = command.command;
    const qint64 id = command.id;

    if (id > 0)
        recent->started(id);
    const CommandResult result = co_await m_handlers.run(std::move(command), token);
    if (id > 0)
        recent->finished(id, result);
    co_await reporter.report(id, result);
    if (result.quitAgentAfterReport) {
        restart.quitAgent();
        co_return result;
    }
    if (result.success && CommandHandlers::changesInstalledOrRunningApps(name)) {
        // The reports also go out when a stop cuts the wait short.
        const bool waited = co_await clock.sleep(postCommandReportDelay, token);
        Q_UNUSED(waited)
        co_await sendPostCommandReports(reports);
    }
    co_return result;
}

QCoro::Task<> CommandPoller::answerAgain(qint64 id)
{
    const ResultReporter reporter = m_reporter;
    const std::shared_ptr<RecentCommands> recent = m_recent;
    const std::optional<RecentCommands::Entry> ran = recent->find(id);
    CommandResult result;
    if (ran && ran->result) {
        result = *ran->result;
        qCInfo(lcFleet).noquote() << QStringLiteral("Command %1 already ran; its result is sent again").arg(id);
    } else {
        result = CommandResult::failure(
            QStringLiteral("The agent stopped before this command finished; it was not run again."));
        recent->finished(id, result);
        qCWarning(lcFleet).noquote() << QStringLiteral("Command %1 was cut short by a stop; not run again").arg(id);
    }
    co_await reporter.report(id, result);
}

QCoro::Task<> CommandPoller::sendPostCommandReports(PostCommandReports &reports)
{
    const PostCommandReports::InstalledAppsReport apps = co_await reports.reportInstalledApps();
    if (apps.error)
        qCCritical(lcFleet).noquote() << QStringLiteral("Post-command app report failed: ") + *apps.error;
    if (!reports.canReportTelemetry())
        co_return;
    const std::optional<QString> telemetryError = co_await reports.reportTelemetry();
    if (telemetryError)
        qCCritical(lcFleet).noquote() << QStringLiteral("Post-command telemetry report failed: ") + *telemetryError;
}

QCoro::Task<> CommandPoller::runScheduledWork()
{
    const ScheduledWork work = m_scheduledWork;
    co_await work.runOnce(m_stop.token());
}

QCoro::Task<> CommandPoller::pollLoop(QPointer<CommandPoller> self, Clock &clock, StopToken token)
{
    for (;;) {
        if (!self || token.stopRequested())
            co_return;
        // With the push channel up the loop still wakes on its period, so a dropped channel
        // brings the period back at once, but polls only when the relaxed interval has passed.
        const auto safetyNet =
            self->m_settings.lowDataMode() ? lowDataPushConnectedPollInterval : pushConnectedPollInterval;
        const bool relaxed = self->m_pushConnected && self->m_lastPoll &&
                             self->m_lastPoll->msecsTo(clock.now()) < clock.period(safetyNet).count();
        if (!relaxed)
            co_await self->pollOnce();
        if (!self || token.stopRequested())
            co_return;
        const auto interval = self->m_settings.lowDataMode() ? lowDataPollInterval : pollInterval;
        const bool slept = co_await clock.sleep(interval, token);
        if (!slept)
            co_return;
    }
}

QCoro::Task<> CommandPoller::scheduledLoop(QPointer<CommandPoller> self, Clock &clock, StopToken token)
{
    for (;;) {
        const bool slept = co_await clock.sleep(scheduledWorkInterval, token);
        if (!slept || !self || token.stopRequested())
            co_return;
        co_await self->runScheduledWork();
    }
}

} // namespace vesk
