#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// Alerts and push registration (all authenticated):
//   POST device_alert {"serial", "severity", "category", "title", "message", "timestamp"}
//        → {"status": "ok", "alert_id"}; the serial must be one of the tenant's machines;
//   PUT  device_alert {"alert_id", "acknowledged"}; the acknowledger is X-Device-Serial;
//   GET  fleet_alerts?limit (default 100, 1-1000)&photographer → {"alerts": [...]}, newest
//        first; a tenant code in "photographer" other than the key's tenant gets 403;
//   POST push_token {"serial", "token", ...} → {"status": "ok"}.
class AlertHandlers {
public:
    explicit AlertHandlers(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse report(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse acknowledge(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse list(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse pushToken(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
