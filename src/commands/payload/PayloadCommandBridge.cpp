#include "commands/payload/PayloadCommandBridge.h"

#include "commands/payload/PayloadService.h"

namespace vesk {

namespace {
CommandResult toCommandResult(const PayloadResult &result)
{
    return CommandResult{result.success, result.message};
}
} // namespace

QCoro::Task<CommandResult> PayloadCommandBridge::deployPayload(qint64 payloadId)
{
    const PayloadResult result = co_await m_service.deployPayload(QString::number(payloadId));
    co_return toCommandResult(result);
}

QCoro::Task<CommandResult> PayloadCommandBridge::restorePayloadBackup(std::optional<QString> targetPath)
{
    const PayloadResult result = co_await m_service.restorePayloadBackup(targetPath.value_or(QString()));
    co_return toCommandResult(result);
}

} // namespace vesk
