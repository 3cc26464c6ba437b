#include "fleetd/http/AppLogWire.h"

namespace vesk::fleetd {

AppLogEntry toWire(const AppLogRecord &log)
{
    return {log.id, log.serial, log.bundleId, log.logText, log.createdAt};
}

} // namespace vesk::fleetd
