#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/RateLimiter.h"

#include <QHttpServerResponse>

#include <memory>

class QHttpServerRequest;

namespace vesk::fleetd {

// POST /api/fetch_fleet_secret, unauthenticated: tells a machine which secret its
// tenant uses, never the code. Body {"serial", "bundle_id", "app_version",
// "client_clock_iso"}; the serial may also come from X-Device-Serial.
//   200 {"fleet_secret_id", "secret_preview", "photographer": the tenant code}
//   404 the serial never sent a heartbeat, or its event code is bound to no tenant
//   409 the tenant has no active secret
//   429 more than kLimit requests for one serial within kWindowMs
class FetchSecretHandler {
public:
    static constexpr int kLimit = 10;
    static constexpr qint64 kWindowMs = 60 * 1000;

    explicit FetchSecretHandler(FleetContext context)
        : m_context(std::move(context)), m_limiter(std::make_shared<RateLimiter>(kLimit, kWindowMs))
    {
    }

    QHttpServerResponse operator()(const QHttpServerRequest &request) const;

private:
    FleetContext m_context;
    std::shared_ptr<RateLimiter> m_limiter;
};

} // namespace vesk::fleetd
