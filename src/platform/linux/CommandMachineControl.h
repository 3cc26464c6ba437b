#pragma once

#include "platform/MachineControl.h"

#include <QStringList>

namespace vesk {

class ProcessRunner;

// Restarts the machine by running a configured command, by default `systemctl reboot`.
// The command is a program and its arguments; it never passes through a shell.
class CommandMachineControl final : public MachineControl {
public:
    static QStringList defaultCommand();

    CommandMachineControl(ProcessRunner &runner, QStringList command = defaultCommand());

    QCoro::Task<RestartOutcome> restartComputer() override;

private:
    ProcessRunner &m_runner;
    QStringList m_command;
};

} // namespace vesk
