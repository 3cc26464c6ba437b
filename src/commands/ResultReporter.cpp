#include "commands/ResultReporter.h"

#include "commands/FleetCommandChannel.h"
#include "platform/LogCategories.h"

namespace vesk {

QCoro::Task<> ResultReporter::report(qint64 commandId, CommandResult result) const
{
    FleetCommandChannel *fleet = m_fleet;
    const APIStatus status = co_await fleet->reportCommandResult(commandId, result.success, result.message);
    if (!status)
        qCCritical(lcFleet).noquote() << QStringLiteral("Command result report failed: ") + status.errorMessage();
}

} // namespace vesk
