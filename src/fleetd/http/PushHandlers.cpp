#include "fleetd/http/PushHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/PushHub.h"
#include "fleetd/http/WireBody.h"
#include "wire/CommandPollRequest.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QHttpServerResponse PushHandlers::open(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<CommandPollRequest> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    if (Refusal refused = refuseMachineRequest(body, m_context.store, tenant, body->serial))
        return std::move(*refused);
    if (!m_hub)
        return jsonError(QHttpServerResponse::StatusCode::ServiceUnavailable,
                         QStringLiteral("this server offers no push channel"));
    return jsonObject(m_hub->openSession(tenant.id, body->serial).toJson());
}

} // namespace vesk::fleetd
