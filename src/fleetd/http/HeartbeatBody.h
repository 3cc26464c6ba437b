#pragma once

#include "fleetd/records/HeartbeatRecord.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Reads a heartbeat body: "eventcode", "serial", "app", "version" (strings, all
// required, serial not blank) and "state" (an object of string, integer and boolean
// values). Unknown members are ignored so newer agents keep working.
class HeartbeatBody {
public:
    struct Result {
        std::optional<HeartbeatRecord> record;
        QString error;
    };

    static Result parse(const QJsonObject &body);
};

} // namespace vesk::fleetd
