#pragma once

#include "monitor/FleetReportingApi.h"

#include <QList>

namespace vesk::test {

// Records what the monitor sends; every call answers at once.
class FakeFleetReporting final : public FleetReportingApi {
public:
    bool configured = true;
    std::optional<APIError> failWith;                 // every report fails with this
    QList<std::optional<SpeedTestResult>> speedTests; // answers in order; none once used up
    QList<TelemetryReport> telemetry;
    QList<QList<RemoteInstalledApp>> installedApps;
    int speedTestRuns = 0;

    QCoro::Task<bool> isConfigured() override { co_return configured; }
    QCoro::Task<ApiStatus> reportTelemetry(TelemetryReport report) override
    {
        telemetry.append(std::move(report));
        co_return failWith ? ApiStatus(*failWith) : ApiStatus();
    }
    QCoro::Task<ApiStatus> reportInstalledApps(QList<RemoteInstalledApp> apps) override
    {
        installedApps.append(std::move(apps));
        co_return failWith ? ApiStatus(*failWith) : ApiStatus();
    }
    QCoro::Task<ApiResult<std::optional<SpeedTestResult>>> runSpeedTest() override
    {
        ++speedTestRuns;
        const std::optional<SpeedTestResult> next = speedTests.isEmpty() ? std::nullopt : speedTests.takeFirst();
        co_return ApiResult<std::optional<SpeedTestResult>>(next);
    }
};

} // namespace vesk::test
