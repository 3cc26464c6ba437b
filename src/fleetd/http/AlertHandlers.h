#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/RateLimiter.h"
#include "fleetd/records/AlertRecord.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

#include <memory>

class QHttpServerRequest;

namespace vesk::fleetd {

// Alerts and push registration (all authenticated):
//   POST device_alert {"serial", "severity", "category", "title", "message", "timestamp", "resolved"}
//        → {"status": "ok", "alert_id"}; the serial must be one of the tenant's machines.
//        "resolved": true (the condition cleared) also marks the machine's open alerts of that
//        category, itself included, acknowledged by "resolved". A stored critical alert (not a
//        clearing) is pushed at once as {"type": "alert", "alert_id", "serial", "severity",
//        "category", "title", "message", "timestamp"} to the open push channels of the
//        tenant's Agent Mode machines within their alert scope (never another tenant's, never
//        the reporter's own). Past kAlertsPerMachine reports a minute from one
//        machine: 429 with Retry-After, so that a machine gone wild cannot crowd out the rest;
//   PUT  device_alert {"alert_id", "acknowledged"}; the acknowledger is X-Device-Serial;
//   GET  fleet_alerts?limit (default 100, 1-1000)&photographer → {"alerts": [...]}, newest
//        first; a tenant code in "photographer" other than the key's tenant gets 403;
//   POST push_token {"serial", "token", ...} → {"status": "ok"}.
class PushHub;

class AlertHandlers {
public:
    static constexpr int kAlertsPerMachine = 60;
    static constexpr qint64 kWindowMs = 60 * 1000;

    // Without a hub nothing is pushed.
    explicit AlertHandlers(FleetContext context, PushHub *hub = nullptr)
        : m_context(std::move(context)), m_hub(hub), m_perMachine(std::make_shared<RateLimiter>(kAlertsPerMachine, kWindowMs))
    {
    }

    QHttpServerResponse report(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse acknowledge(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse list(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse pushToken(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    void announceToAgents(qint64 tenantId, const AlertRecord &alert, qint64 alertId) const;

    FleetContext m_context;
    PushHub *m_hub;
    std::shared_ptr<RateLimiter> m_perMachine;
};

} // namespace vesk::fleetd
