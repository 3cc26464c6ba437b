#pragma once

#include "commands/FleetCommandChannel.h"

namespace vesk {

class FleetAPIClient;

// The command poller's requests through the fleet API client.
class FleetApiCommandChannel final : public FleetCommandChannel {
public:
    explicit FleetApiCommandChannel(FleetAPIClient &api) : m_api(api) {}

    QCoro::Task<ApiResult<FleetPendingCommands>> fetchPendingCommands() override;
    QCoro::Task<ApiStatus> reportCommandResult(qint64 commandId, bool success, std::optional<QString> result) override;
    QCoro::Task<ApiStatus> uploadAppLog(QString bundleId, QString logText) override;

private:
    FleetAPIClient &m_api;
};

} // namespace vesk
