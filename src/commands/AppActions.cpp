#include "commands/AppActions.h"

#include "platform/Clock.h"
#include "platform/LogCategories.h"
#include "platform/Workspace.h"

#include <memory>

namespace vesk {

namespace {

// Nothing tells us when a process joins the running apps, so the launch is checked this often.
constexpr std::chrono::milliseconds appearPoll{250};

QString pidList(const QList<qint32> &pids)
{
    QStringList texts;
    for (const qint32 pid : pids)
        texts.append(QString::number(pid));
    return texts.join(QStringLiteral(", "));
}

// Stops `allEnded` once the workspace saw the last of the watched processes end. Detached:
// the restart stops listening when its own time is up, and this finishes with the
// workspace's wait.
QCoro::Task<> watchExit(Workspace *workspace, qint32 pid, std::chrono::milliseconds timeout,
                        std::shared_ptr<qsizetype> left, StopSource allEnded)
{
    const bool ended = co_await workspace->waitForTermination(pid, timeout);
    if (ended && --*left == 0)
        allEnded.requestStop();
}

} // namespace

bool AppActions::quitApp(const QString &bundleId) const
{
    for (const RunningApplication &app : m_workspace->runningApplications()) {
        if (app.bundleIdentifier != bundleId)
            continue;
        if (!m_workspace->terminate(app.pid))
            qCWarning(lcFleet).noquote() << "Could not ask" << bundleId << "to quit (pid" << app.pid << ")";
        return true;
    }
    return false;
}

QList<qint32> AppActions::processesOf(const QString &bundleId) const
{
    QList<qint32> pids;
    for (const RunningApplication &app : m_workspace->runningApplications()) {
        if (app.bundleIdentifier == bundleId)
            pids.append(app.pid);
    }
    return pids;
}

QList<qint32> AppActions::stillRunning(const QList<qint32> &pids, const QString &bundleId) const
{
    QList<qint32> running;
    for (const RunningApplication &app : m_workspace->runningApplications()) {
        if (app.bundleIdentifier == bundleId && !app.isTerminated && pids.contains(app.pid))
            running.append(app.pid);
    }
    return running;
}

QCoro::Task<QList<qint32>> AppActions::awaitExit(QString bundleId, QList<qint32> pids,
                                                 std::chrono::milliseconds timeout, StopToken token) const
{
    const AppActions self = *this;
    StopSource allEnded;
    auto left = std::make_shared<qsizetype>(pids.size());
    for (const qint32 pid : pids)
        watchExit(self.m_workspace, pid, timeout, left, allEnded);
    std::uint64_t stopId = 0;
    if (const auto &stop = token.state())
        stopId = stop->addCallback([allEnded]() mutable { allEnded.requestStop(); });
    // The workspace watches the processes; the clock bounds the wait.
    const bool timedOut = co_await self.m_clock->sleep(timeout, allEnded.token());
    Q_UNUSED(timedOut)
    if (const auto &stop = token.state())
        stop->removeCallback(stopId);
    co_return self.stillRunning(pids, bundleId);
}

QCoro::Task<std::optional<qint32>> AppActions::awaitNewProcess(QString bundleId, QList<qint32> old,
                                                               StopToken token) const
{
    const AppActions self = *this;
    const auto isNew = [&]() -> std::optional<qint32> {
        for (const RunningApplication &app : self.m_workspace->runningApplications()) {
            if (app.bundleIdentifier == bundleId && !app.isTerminated && !old.contains(app.pid))
                return app.pid;
        }
        return std::nullopt;
    };
    for (auto waited = std::chrono::milliseconds(0);; waited += appearPoll) {
        if (const std::optional<qint32> pid = isNew())
            co_return pid;
        if (waited >= appearTimeout)
            co_return std::nullopt;
        const bool slept = co_await self.m_clock->sleep(appearPoll, token);
        if (!slept)
            co_return isNew(); // stopping: one last look
    }
}

QCoro::Task<LaunchOutcome> AppActions::open(QString bundleId) const
{
    const AppActions self = *this;
    const std::optional<QString> path = self.m_workspace->applicationPath(bundleId);
    if (!path)
        co_return LaunchOutcome{false, 0, QStringLiteral("not installed")};
    LaunchOutcome outcome = co_await self.m_workspace->openApplication(*path);
    if (outcome.launched)
        co_return outcome;
    qCCritical(lcFleet).noquote() << "Launching" << bundleId << "failed:" << outcome.error;
    outcome.error = QStringLiteral("launch failed: ") + outcome.error;
    co_return outcome;
}

QCoro::Task<bool> AppActions::launchApp(QString bundleId) const
{
    const AppActions self = *this;
    const LaunchOutcome outcome = co_await self.open(bundleId);
    co_return outcome.launched;
}

QCoro::Task<bool> AppActions::stillAlive(qint32 pid) const
{
    const AppActions self = *this;
    const bool ended = co_await self.m_workspace->waitForTermination(pid, std::chrono::milliseconds(0));
    co_return !ended;
}

QCoro::Task<CommandResult> AppActions::restartApp(QString bundleId, StopToken token) const
{
    const AppActions self = *this;
    const std::optional<QString> why = co_await self.relaunch(bundleId, token);
    if (why) {
        qCCritical(lcFleet).noquote() << "Restart of" << bundleId << "failed:" << *why;
        co_return CommandResult::failure(QStringLiteral("Failed to restart: ") + bundleId + QStringLiteral(" (") + *why +
                                         QLatin1Char(')'));
    }
    co_return CommandResult::ok(QStringLiteral("Restarted ") + bundleId);
}

QCoro::Task<std::optional<QString>> AppActions::relaunch(QString bundleId, StopToken token) const
{
    const AppActions self = *this;

    const QList<qint32> old = self.processesOf(bundleId);
    if (const QList<qint32> running = self.stillRunning(old, bundleId); !running.isEmpty()) {
        for (const qint32 pid : running) {
            if (!self.m_workspace->terminate(pid))
                qCWarning(lcFleet).noquote() << "Could not ask" << bundleId << "to quit (pid" << pid << ")";
        }
        QList<qint32> left = co_await self.awaitExit(bundleId, running, quitTimeout, token);
        if (!left.isEmpty()) {
            qCWarning(lcFleet).noquote() << bundleId << "did not quit in time; ending pid" << pidList(left);
            for (const qint32 pid : std::as_const(left))
                self.m_workspace->forceTerminate(pid);
            left = co_await self.awaitExit(bundleId, left, endTimeout, token);
            if (!left.isEmpty())
                co_return QStringLiteral("pid %1 could not be ended").arg(pidList(left));
        }
    }

    const LaunchOutcome launched = co_await self.open(bundleId);
    if (!launched.launched)
        co_return launched.error;
    // The launcher's own child ran the bundle's executable: that is the new process, as soon as
    // it shows, without waiting for the process table to recognise it.
    std::optional<qint32> started;
    // Each co_await on its own line: g++ 12 leaks the frame of one inside a condition.
    bool launchedRuns = false;
    if (launched.pid > 0 && !old.contains(launched.pid))
        launchedRuns = co_await self.stillAlive(launched.pid);
    if (launchedRuns)
        started = launched.pid;
    else
        started = co_await self.awaitNewProcess(bundleId, old, token);
    if (!started)
        co_return QStringLiteral("no new process within %1 s of the launch").arg(appearTimeout.count());
    qCInfo(lcFleet).noquote() << "Restarted" << bundleId << "as pid" << *started;
    co_return std::nullopt;
}

} // namespace vesk
