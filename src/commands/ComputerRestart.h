#pragma once

#include "commands/CommandResult.h"

#include <qcoro/qcorotask.h>

#include <functional>

namespace vesk {

class MachineControl;

// Restarting the computer, for the "restart" command and for the agent's own schedules.
// Once the machine accepted, the agent asks itself to quit (queued on the event loop) so
// it goes down cleanly rather than being killed mid-write. Copies share the same machine.
class ComputerRestart {
public:
    ComputerRestart(MachineControl &machine, std::function<void()> quitAgent)
        : m_machine(&machine), m_quitAgent(std::move(quitAgent))
    {
    }

    // "Restart initiated", or the failure texts of the restart command.
    QCoro::Task<CommandResult> run() const;

private:
    MachineControl *m_machine;
    std::function<void()> m_quitAgent;
};

} // namespace vesk
