#pragma once

#include "wire/HeartbeatStateValue.h"

#include <QMap>
#include <QString>

namespace vesk {

// The agent's own members of the heartbeat's free-form state.
struct AgentHeartbeatState {
    QString status = QStringLiteral("active");
    bool agentMode = false;

    // {"status", "agentMode"}, ready for HeartbeatPayload::state.
    QMap<QString, HeartbeatStateValue> toState() const;
};

} // namespace vesk
