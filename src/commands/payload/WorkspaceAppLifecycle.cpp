#include "commands/payload/WorkspaceAppLifecycle.h"

#include "platform/LogCategories.h"
#include "platform/Workspace.h"

namespace vesk {

QList<qint32> WorkspaceAppLifecycle::runningPids(const QString &bundleId) const
{
    QList<qint32> pids;
    for (const RunningApplication &app : m_workspace.runningApplications()) {
        if (app.bundleIdentifier == bundleId && !app.isTerminated)
            pids.append(app.pid);
    }
    return pids;
}

QCoro::Task<bool> WorkspaceAppLifecycle::isRunning(QString bundleId)
{
    co_return !runningPids(bundleId).isEmpty();
}

QCoro::Task<> WorkspaceAppLifecycle::quit(QString bundleId)
{
    for (const qint32 pid : runningPids(bundleId)) {
        if (!m_workspace.terminate(pid))
            qCWarning(lcPayload).noquote() << "Could not ask" << bundleId << "to quit (pid" << pid << ")";
    }
    co_return;
}

QCoro::Task<> WorkspaceAppLifecycle::forceQuit(QString bundleId)
{
    for (const qint32 pid : runningPids(bundleId)) {
        if (!m_workspace.forceTerminate(pid))
            qCWarning(lcPayload).noquote() << "Could not end" << bundleId << "(pid" << pid << ")";
    }
    co_return;
}

QCoro::Task<bool> WorkspaceAppLifecycle::isInstalled(QString bundleId)
{
    co_return m_workspace.applicationPath(bundleId).has_value();
}

QCoro::Task<bool> WorkspaceAppLifecycle::launch(QString bundleId)
{
    const AppActions actions = m_actions;
    const bool launched = co_await actions.launchApp(bundleId);
    co_return launched;
}

} // namespace vesk
