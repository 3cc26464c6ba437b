#include "commands/AppActions.h"

#include "platform/Clock.h"
#include "platform/LogCategories.h"
#include "platform/Workspace.h"

#include <algorithm>

namespace vesk {

namespace {
// Long enough for an app to save and exit before the relaunch.
constexpr std::chrono::seconds relaunchDelay{2};
} // namespace

std::optional<qint32> AppActions::askToQuit(const QString &bundleId) const
{
    for (const RunningApplication &app : m_workspace->runningApplications()) {
        if (app.bundleIdentifier != bundleId)
            continue;
        if (!m_workspace->terminate(app.pid))
            qCWarning(lcFleet).noquote() << "Could not ask" << bundleId << "to quit (pid" << app.pid << ")";
        return app.pid;
    }
    return std::nullopt;
}

bool AppActions::quitApp(const QString &bundleId) const
{
    return askToQuit(bundleId).has_value();
}

bool AppActions::isStillRunning(qint32 pid, const QString &bundleId) const
{
    const QList<RunningApplication> running = m_workspace->runningApplications();
    return std::any_of(running.cbegin(), running.cend(), [&](const RunningApplication &app) {
        return app.pid == pid && app.bundleIdentifier == bundleId && !app.isTerminated;
    });
}

QCoro::Task<bool> AppActions::launchApp(QString bundleId) const
{
    const AppActions self = *this;
    const std::optional<QString> path = self.m_workspace->applicationPath(bundleId);
    if (!path)
        co_return false;
    const LaunchOutcome outcome = co_await self.m_workspace->openApplication(*path);
    if (!outcome.launched)
        qCCritical(lcFleet).noquote() << "Launching" << bundleId << "failed:" << outcome.error;
    co_return outcome.launched;
}

QCoro::Task<CommandResult> AppActions::restartApp(QString bundleId, StopToken token) const
{
    const AppActions self = *this;
    const CommandResult failed = CommandResult::failure(QStringLiteral("Failed to restart: ") + bundleId);
    if (const std::optional<qint32> pid = self.askToQuit(bundleId)) {
        const bool waited = co_await self.m_clock->sleep(relaunchDelay, token);
        // A stop during the wait still relaunches: an app left quit is worse than an early start.
        if (!waited && token.stopRequested())
            qCInfo(lcFleet).noquote() << "Relaunching" << bundleId << "early: the poller is stopping";
        if (self.isStillRunning(*pid, bundleId)) {
            qCCritical(lcFleet).noquote() << "Restart of" << bundleId << "failed: pid" << *pid << "did not quit";
            co_return failed;
        }
    }
    const bool launched = co_await self.launchApp(bundleId);
    if (launched)
        co_return CommandResult::ok(QStringLiteral("Restarted ") + bundleId);
    co_return failed;
}

} // namespace vesk
