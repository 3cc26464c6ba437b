#include "wire/AgentHeartbeatState.h"

namespace vesk {

QMap<QString, HeartbeatStateValue> AgentHeartbeatState::toState() const
{
    return {
        {QStringLiteral("status"), HeartbeatStateValue::string(status)},
        {QStringLiteral("agentMode"), HeartbeatStateValue::boolean(agentMode)},
    };
}

} // namespace vesk
