#pragma once

#include "fleet/APIResult.h"
#include "wire/AlertReport.h"
#include "wire/PushTokenRegistration.h"

#include <qcoro/qcorotask.h>

namespace vesk {

class FleetAPIClient;

// The part of the fleet API the alert service talks through.
class AlertReportingApi {
public:
    virtual ~AlertReportingApi() = default;

    // A tenant code is set and a fleet secret is stored for it.
    virtual QCoro::Task<bool> isConfigured() = 0;
    virtual QCoro::Task<APIStatus> reportAlert(AlertReport alert) = 0;
    virtual QCoro::Task<APIStatus> registerPushToken(PushTokenRegistration registration) = 0;
};

// The alert service's calls through the shared fleet client.
class FleetClientAlertReporting final : public AlertReportingApi {
public:
    explicit FleetClientAlertReporting(FleetAPIClient &api) : m_api(api) {}

    QCoro::Task<bool> isConfigured() override;
    QCoro::Task<APIStatus> reportAlert(AlertReport alert) override;
    QCoro::Task<APIStatus> registerPushToken(PushTokenRegistration registration) override;

private:
    FleetAPIClient &m_api;
};

} // namespace vesk
