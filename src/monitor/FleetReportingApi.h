#pragma once

#include "fleet/APIResult.h"
#include "wire/RemoteInstalledApp.h"
#include "wire/SpeedTestResult.h"
#include "wire/TelemetryReport.h"

#include <QList>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

// The part of the fleet API the system monitor reports through.
class FleetReportingApi {
public:
    virtual ~FleetReportingApi() = default;

    // A tenant code is set and a fleet secret is stored for it.
    virtual QCoro::Task<bool> isConfigured() = 0;
    virtual QCoro::Task<APIStatus> reportTelemetry(TelemetryReport report) = 0;
    // The client adds this machine's serial to the report.
    virtual QCoro::Task<APIStatus> reportInstalledApps(QList<RemoteInstalledApp> apps) = 0;
    // No result while the client is not configured.
    virtual QCoro::Task<APIResult<std::optional<SpeedTestResult>>> runSpeedTest() = 0;
};

} // namespace vesk
