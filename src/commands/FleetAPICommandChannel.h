#pragma once

#include "commands/FleetCommandChannel.h"
#include "fleet/FleetAPIClient.h"

namespace vesk {

// The command traffic through the agent's fleet API client. The client's calls take their
// arguments by value and the client outlives every call, so its tasks are handed on as they are.
class FleetAPICommandChannel final : public FleetCommandChannel {
public:
    explicit FleetAPICommandChannel(FleetAPIClient &api) : m_api(api) {}

    QCoro::Task<APIResult<FleetPendingCommands>> fetchPendingCommands() override
    {
        return m_api.fetchPendingCommands();
    }
    QCoro::Task<APIStatus> reportCommandResult(qint64 commandId, bool success, std::optional<QString> result) override
    {
        return m_api.reportCommandResult(commandId, success, std::move(result));
    }

private:
    FleetAPIClient &m_api;
};

} // namespace vesk
