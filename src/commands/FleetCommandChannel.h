#pragma once

#include "fleet/ApiResult.h"
#include "wire/FleetCommand.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

// The three fleet requests the command poller makes itself.
class FleetCommandChannel {
public:
    virtual ~FleetCommandChannel() = default;

    virtual QCoro::Task<ApiResult<FleetPendingCommands>> fetchPendingCommands() = 0;
    virtual QCoro::Task<ApiStatus> reportCommandResult(qint64 commandId, bool success,
                                                       std::optional<QString> result) = 0;
    virtual QCoro::Task<ApiStatus> uploadAppLog(QString bundleId, QString logText) = 0;
};

} // namespace vesk
