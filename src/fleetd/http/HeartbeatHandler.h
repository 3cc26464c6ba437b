#pragma once

#include "fleetd/http/FleetContext.h"

#include <utility>

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// POST /api/heartbeat: unauthenticated; registers or refreshes the sending machine,
// 409 when the beat would take the machine from its tenant (MachineOwnership's rules).
class HeartbeatHandler {
public:
    explicit HeartbeatHandler(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse operator()(const QHttpServerRequest &request) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
