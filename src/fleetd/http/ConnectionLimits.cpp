#include "fleetd/http/ConnectionLimits.h"

#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/PayloadHandlers.h"
#include "fleetd/http/ReportHandlers.h"
#include "fleetd/http/SpeedtestHandlers.h"

namespace vesk::fleetd {

qint64 bodyLimitForPath(const QByteArray &path)
{
    if (path == "/api/payload")
        return PayloadHandlers::kMaxBodyBytes;
    if (path == "/api/device_logs")
        return ReportHandlers::kMaxLogBodyBytes;
    if (path == "/api/speedtest")
        return SpeedtestHandlers::kMaxBytes;
    return JsonRequest::kMaxBodyBytes;
}

} // namespace vesk::fleetd
