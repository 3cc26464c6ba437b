#include "monitor/FleetClientReporting.h"

#include "fleet/FleetAPIClient.h"

namespace vesk {

QCoro::Task<bool> FleetClientReporting::isConfigured() { return m_client.isConfigured(); }

QCoro::Task<APIStatus> FleetClientReporting::reportTelemetry(TelemetryReport report)
{
    return m_client.reportTelemetry(std::move(report));
}

QCoro::Task<APIStatus> FleetClientReporting::reportInstalledApps(QList<RemoteInstalledApp> apps)
{
    return m_client.reportInstalledApps(std::move(apps));
}

QCoro::Task<APIResult<std::optional<SpeedTestResult>>> FleetClientReporting::runSpeedTest()
{
    return m_client.runSpeedTest();
}

} // namespace vesk
