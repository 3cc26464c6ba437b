#pragma once

#include "commands/CommandResult.h"

#include <qcoro/qcorotask.h>

#include <functional>

namespace vesk {

class MachineControl;

// Restarting the computer, for the "restart" command and for the agent's own schedules.
// Once the machine accepted, the agent should quit so it goes down cleanly rather than being
// killed mid-write; but not before the result is posted, so run() only marks the result and
// whoever reports it calls quitAgent() afterwards. Copies share the same machine.
class ComputerRestart {
public:
    ComputerRestart(MachineControl &machine, std::function<void()> quitAgent)
        : m_machine(&machine), m_quitAgent(std::move(quitAgent))
    {
    }

    // "Restart initiated" (marked quitAgentAfterReport), or the failure texts of the restart command.
    QCoro::Task<CommandResult> run() const;
    // Asks the agent to quit, queued on the event loop.
    void quitAgent() const;

private:
    MachineControl *m_machine;
    std::function<void()> m_quitAgent;
};

} // namespace vesk
