#include "commands/FleetApiCommandChannel.h"

#include "fleet/FleetAPIClient.h"

namespace vesk {

QCoro::Task<ApiResult<FleetPendingCommands>> FleetApiCommandChannel::fetchPendingCommands()
{
    FleetAPIClient &api = m_api;
    auto result = co_await api.fetchPendingCommands();
    co_return result;
}

QCoro::Task<ApiStatus> FleetApiCommandChannel::reportCommandResult(qint64 commandId, bool success,
                                                                   std::optional<QString> result)
{
    FleetAPIClient &api = m_api;
    const ApiStatus status = co_await api.reportCommandResult(commandId, success, std::move(result));
    co_return status;
}

QCoro::Task<ApiStatus> FleetApiCommandChannel::uploadAppLog(QString bundleId, QString logText)
{
    FleetAPIClient &api = m_api;
    const ApiStatus status = co_await api.uploadAppLog(std::move(bundleId), std::move(logText));
    co_return status;
}

} // namespace vesk
