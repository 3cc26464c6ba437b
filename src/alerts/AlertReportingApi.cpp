#include "alerts/AlertReportingApi.h"

#include "fleet/FleetAPIClient.h"

namespace vesk {

QCoro::Task<bool> FleetClientAlertReporting::isConfigured()
{
    const bool configured = co_await m_api.isConfigured();
    co_return configured;
}

QCoro::Task<APIStatus> FleetClientAlertReporting::reportAlert(AlertReport alert)
{
    const APIStatus status = co_await m_api.reportAlert(std::move(alert));
    co_return status;
}

QCoro::Task<APIStatus> FleetClientAlertReporting::registerPushToken(PushTokenRegistration registration)
{
    const APIStatus status = co_await m_api.registerPushToken(std::move(registration));
    co_return status;
}

} // namespace vesk
