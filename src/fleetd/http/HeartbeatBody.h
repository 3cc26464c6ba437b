#pragma once

#include "fleetd/records/HeartbeatRecord.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Reads a heartbeat body as the agent's own HeartbeatPayload decodes it, then adds what
// the server needs on top: a serial that is not blank and holds no control characters.
// Unknown members are ignored so newer agents keep working.
class HeartbeatBody {
public:
    struct Result {
        std::optional<HeartbeatRecord> record;
        QString error;
    };

    static Result parse(const QJsonObject &body);
};

} // namespace vesk::fleetd
