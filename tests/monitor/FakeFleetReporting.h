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
    QCoro::Task<APIStatus> reportTelemetry(TelemetryReport report) override
    {
        telemetry.append(std::move(report));
        co_return failWith ? APIStatus(*failWith) : APIStatus();
    }
    QCoro::Task<APIStatus> reportInstalledApps(QList<RemoteInstalledApp> apps) override
    {
        installedApps.append(std::move(apps));
        co_return failWith ? APIStatus(*failWith) : APIStatus();
    }
    QCoro::Task<APIResult<std::optional<SpeedTestResult>>> runSpeedTest() override
    {
        ++speedTestRuns;
        const std::optional<SpeedTestResult> next = speedTests.isEmpty() ? std::nullopt : speedTests.takeFirst();
        co_return APIResult<std::optional<SpeedTestResult>>(next);
    }
};

} // namespace vesk::test
