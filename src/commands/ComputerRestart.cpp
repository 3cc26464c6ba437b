#include "commands/ComputerRestart.h"

#include "platform/LogCategories.h"
#include "platform/MachineControl.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vesk {

QCoro::Task<CommandResult> ComputerRestart::run() const
{
    MachineControl *machine = m_machine;
    const RestartOutcome outcome = co_await machine->restartComputer();

    switch (outcome.status) {
    case RestartOutcome::Status::initiated: {
        CommandResult initiated = CommandResult::ok(QStringLiteral("Restart initiated"));
        initiated.quitAgentAfterReport = true;
        co_return initiated;
    }
    case RestartOutcome::Status::notCreated:
        qCCritical(lcFleet).noquote() << "Restart failed: no restart command is configured";
        co_return CommandResult::failure(QStringLiteral("Failed to create restart script"));
    case RestartOutcome::Status::failed:
        break;
    }
    const QString message = outcome.errorMessage.isEmpty() ? QStringLiteral("Unknown") : outcome.errorMessage;
    const QString text = QStringLiteral("Restart failed (%1): %2").arg(outcome.errorNumber).arg(message);
    qCCritical(lcFleet).noquote() << text;
    co_return CommandResult::failure(text);
}

void ComputerRestart::quitAgent() const
{
    if (m_quitAgent && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), m_quitAgent, Qt::QueuedConnection);
}

} // namespace vesk
