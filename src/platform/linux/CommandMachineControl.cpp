#include "platform/linux/CommandMachineControl.h"

#include "platform/ProcessRunner.h"

namespace vesk {

QStringList CommandMachineControl::defaultCommand()
{
    return {QStringLiteral("systemctl"), QStringLiteral("reboot")};
}

CommandMachineControl::CommandMachineControl(ProcessRunner &runner, QStringList command)
    : m_runner(runner), m_command(std::move(command))
{
}

QCoro::Task<RestartOutcome> CommandMachineControl::restartComputer()
{
    if (m_command.isEmpty() || m_command.first().isEmpty())
        co_return RestartOutcome{RestartOutcome::Status::notCreated, 0, {}};

    ToolInvocation invocation{m_command.first(), m_command.mid(1)};
    const ToolOutcome outcome = co_await m_runner.run(std::move(invocation));
    if (outcome.succeeded())
        co_return RestartOutcome::initiated();

    RestartOutcome failure;
    if (!outcome.started || outcome.crashed) {
        failure.errorMessage = outcome.errorText;
    } else if (outcome.timedOut) {
        failure.errorMessage = QStringLiteral("%1 did not finish in time").arg(m_command.first());
    } else {
        // The tool's refusal is the useful part; stdout only when it said nothing on stderr.
        failure.errorNumber = outcome.exitCode;
        failure.errorMessage = QString::fromUtf8(outcome.standardError).trimmed();
        if (failure.errorMessage.isEmpty())
            failure.errorMessage = QString::fromUtf8(outcome.standardOutput).trimmed();
    }
    co_return failure;
}

} // namespace vesk
