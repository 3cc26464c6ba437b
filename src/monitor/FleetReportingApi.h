#pragma once

#include "fleet/ApiResult.h"
#include "wire/SpeedTestResult.h"

#include <QJsonArray>
#include <QJsonObject>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

// The part of the fleet API the system monitor reports through.
class FleetReportingApi {
public:
    virtual ~FleetReportingApi() = default;

    // A tenant code is set and a fleet secret is stored for it.
    virtual QCoro::Task<bool> isConfigured() = 0;
    virtual QCoro::Task<ApiStatus> reportTelemetry(QJsonObject body) = 0;
    virtual QCoro::Task<ApiStatus> reportInstalledApps(QJsonArray apps) = 0;
    // No result while the client is not configured.
    virtual QCoro::Task<ApiResult<std::optional<SpeedTestResult>>> runSpeedTest() = 0;
};

} // namespace vesk
