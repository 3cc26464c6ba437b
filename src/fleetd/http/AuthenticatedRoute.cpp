#include "fleetd/http/AuthenticatedRoute.h"

namespace vesk::fleetd {

Route::Handler authenticated(std::shared_ptr<FleetAuth> auth, TenantHandler handler)
{
    return [auth = std::move(auth), handler = std::move(handler)](const QHttpServerRequest &request) {
        FleetAuth::Outcome outcome = auth->authenticate(request);
        if (auto *tenant = std::get_if<TenantRecord>(&outcome))
            return handler(request, *tenant);
        return std::move(std::get<QHttpServerResponse>(outcome));
    };
}

} // namespace vesk::fleetd
