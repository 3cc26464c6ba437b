#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

class PushHub;

// The push channel's way in (authenticated):
//   POST push_session {"serial"} → {"ticket", "token"}; the serial must be one of the
//        tenant's machines. The ticket opens ws(s)://host/api/push?ticket=… on the API's own
//        port once, within a minute; the token is the machine's device token for push_token.
class PushHandlers {
public:
    PushHandlers(FleetContext context, PushHub *hub) : m_context(std::move(context)), m_hub(hub) {}

    QHttpServerResponse open(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
    PushHub *m_hub;
};

} // namespace vesk::fleetd
