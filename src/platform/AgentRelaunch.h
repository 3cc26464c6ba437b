#pragma once

#include "platform/WorkspaceTypes.h"

#include <QString>
#include <QStringList>

namespace vesk {

// How the agent is started again: through its service manager's unit when it runs under one,
// else the executable itself, detached.
struct AgentStart {
    QString unit;        // "vesk-warden.service", empty when the agent runs on its own
    QString executable;  // the agent's program, at its installed path
    QStringList arguments;
};

// What a hand-over of the agent to new files asks of the machine: start a watcher that outlives
// the agent (and a restart of its unit), start the agent again, and look at processes.
class AgentRelaunch {
public:
    virtual ~AgentRelaunch() = default;

    // The unit this agent runs under, or empty when it was started some other way.
    virtual QString serviceUnit() const = 0;
    // Starts `program` apart from the agent: not its child, and outside its unit.
    virtual LaunchOutcome startWatcher(const QString &program, const QStringList &arguments) = 0;
    // (Re)starts the agent. The pid of the new agent, or 0 when the service manager did not say.
    virtual LaunchOutcome startAgent(const AgentStart &start) = 0;
    // True while the process exists and has not ended (a zombie has ended).
    virtual bool isAlive(qint32 pid) const = 0;
    // Ends a process that will not be kept: SIGTERM, then SIGKILL.
    virtual void stop(qint32 pid) = 0;
};

} // namespace vesk
