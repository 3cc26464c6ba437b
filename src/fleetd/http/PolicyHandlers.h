#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// Device policies (authenticated, per tenant):
//   GET    policies → {"policies": [...]}; also the agent's pairing probe;
//   GET    device_policy?serial → {"policy": policy or null};
//   POST   policy, the policy JSON with its "id" → {"status": "ok", "uuid"};
//          its "assigned_serials" become exactly its machines;
//   DELETE policy?uuid → {"status": "ok"}, 404 for an unknown uuid.
// App releases ride along: GET app_updates → {"updates": [...]}.
// device_policy and app_updates carry an ETag and answer 304 to a matching If-None-Match.
class PolicyHandlers {
public:
    explicit PolicyHandlers(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse list(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse forDevice(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse save(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse remove(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse appUpdates(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
