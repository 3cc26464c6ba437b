#pragma once

#include "fleetd/http/FleetAuth.h"
#include "fleetd/http/Route.h"

#include <functional>
#include <memory>

namespace vesk::fleetd {

// A handler that runs only for an accepted fleet key, told whose tenant it serves.
using TenantHandler = std::function<QHttpServerResponse(const QHttpServerRequest &, const TenantRecord &)>;

Route::Handler authenticated(std::shared_ptr<FleetAuth> auth, TenantHandler handler);

// authenticated() for a member of a handler group: authed(auth, group, &Group::method).
template <typename Group>
Route::Handler authed(const std::shared_ptr<FleetAuth> &auth, const Group &group,
                      QHttpServerResponse (Group::*method)(const QHttpServerRequest &, const TenantRecord &) const)
{
    return authenticated(auth, [group, method](const QHttpServerRequest &request, const TenantRecord &tenant) {
        return (group.*method)(request, tenant);
    });
}

} // namespace vesk::fleetd
