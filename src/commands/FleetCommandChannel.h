#pragma once

#include "fleet/APIResult.h"
#include "wire/FleetCommand.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

// The command traffic with the fleet: the commands queued for this machine, and a result
// for each (also for the agent's own timed work, and for a message dismissed at the machine).
class FleetCommandChannel {
public:
    virtual ~FleetCommandChannel() = default;

    virtual QCoro::Task<APIResult<FleetPendingCommands>> fetchPendingCommands() = 0;
    virtual QCoro::Task<APIStatus> reportCommandResult(qint64 commandId, bool success,
                                                       std::optional<QString> result) = 0;
};

} // namespace vesk
