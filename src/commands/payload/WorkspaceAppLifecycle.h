#pragma once

#include "commands/AppActions.h"
#include "commands/payload/AppLifecycle.h"

namespace vesk {

class Workspace;

// Closes and opens a payload's applications through the platform's workspace.
class WorkspaceAppLifecycle final : public AppLifecycle {
public:
    WorkspaceAppLifecycle(Workspace &workspace, Clock &clock) : m_workspace(workspace), m_actions(workspace, clock) {}

    QCoro::Task<bool> isRunning(QString bundleId) override;
    QCoro::Task<> quit(QString bundleId) override;
    QCoro::Task<> forceQuit(QString bundleId) override;
    QCoro::Task<bool> isInstalled(QString bundleId) override;
    QCoro::Task<bool> launch(QString bundleId) override;

private:
    QList<qint32> runningPids(const QString &bundleId) const;

    Workspace &m_workspace;
    AppActions m_actions;
};

} // namespace vesk
