#pragma once

#include "monitor/FleetReportingApi.h"

namespace vesk {

class FleetAPIClient;

// The monitor's reports, sent through the agent's fleet API client.
class FleetClientReporting final : public FleetReportingApi {
public:
    explicit FleetClientReporting(FleetAPIClient &client) : m_client(client) {}

    QCoro::Task<bool> isConfigured() override;
    QCoro::Task<APIStatus> reportTelemetry(TelemetryReport report) override;
    QCoro::Task<APIStatus> reportInstalledApps(QList<RemoteInstalledApp> apps) override;
    QCoro::Task<APIResult<std::optional<SpeedTestResult>>> runSpeedTest() override;

private:
    FleetAPIClient &m_client;
};

} // namespace vesk
