#pragma once

#include "monitor/FleetReportingApi.h"

namespace vesk {

class FleetAPIClient;

// The monitor's reports, sent through the agent's fleet API client.
class FleetClientReporting final : public FleetReportingApi {
public:
    explicit FleetClientReporting(FleetAPIClient &client) : m_client(client) {}

    QCoro::Task<bool> isConfigured() override;
    QCoro::Task<ApiStatus> reportTelemetry(TelemetryReport report) override;
    QCoro::Task<ApiStatus> reportInstalledApps(QList<RemoteInstalledApp> apps) override;
    QCoro::Task<ApiResult<std::optional<SpeedTestResult>>> runSpeedTest() override;

private:
    FleetAPIClient &m_client;
};

} // namespace vesk
