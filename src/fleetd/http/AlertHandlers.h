#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/RateLimiter.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

#include <memory>

class QHttpServerRequest;

namespace vesk::fleetd {

// Alerts and push registration (all authenticated):
//   POST device_alert {"serial", "severity", "category", "title", "message", "timestamp", "resolved"}
//        → {"status": "ok", "alert_id"}; the serial must be one of the tenant's machines.
//        "resolved": true (the condition cleared) also marks the machine's open alerts of that
//        category, itself included, acknowledged by "resolved". Past kAlertsPerMachine reports a minute from one
//        machine: 429 with Retry-After, so that a machine gone wild cannot crowd out the rest;
//   PUT  device_alert {"alert_id", "acknowledged"}; the acknowledger is X-Device-Serial;
//   GET  fleet_alerts?limit (default 100, 1-1000)&photographer → {"alerts": [...]}, newest
//        first; a tenant code in "photographer" other than the key's tenant gets 403;
//   POST push_token {"serial", "token", ...} → {"status": "ok"}.
class AlertHandlers {
public:
    static constexpr int kAlertsPerMachine = 60;
    static constexpr qint64 kWindowMs = 60 * 1000;

    explicit AlertHandlers(FleetContext context)
        : m_context(std::move(context)), m_perMachine(std::make_shared<RateLimiter>(kAlertsPerMachine, kWindowMs))
    {
    }

    QHttpServerResponse report(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse acknowledge(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse list(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse pushToken(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
    std::shared_ptr<RateLimiter> m_perMachine;
};

} // namespace vesk::fleetd
