#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// The tenant's machines as the console sees them (authenticated):
//   GET devices → {"devices": [{"id", "serial", "name", "app", "app_version", "eventcode",
//       "first_seen", "last_seen", "status"}]}, the machine directory, sorted by serial;
//   GET device_status?serial → {"serial", "apps": [one row per app sending heartbeats,
//       with "status", "consecutive_misses" and the latest telemetry snapshot]}.
// A machine is "online" while it has missed no heartbeat: heartbeats come every
// kHeartbeatSeconds, and one interval of lateness is allowed before the first miss.
class MachineHandlers {
public:
    static constexpr qint64 kHeartbeatSeconds = 900;

    explicit MachineHandlers(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse directory(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse status(const QHttpServerRequest &request, const TenantRecord &tenant) const;

    // Whole heartbeat intervals missed since `lastSeen` (ISO 8601) at `now`.
    static int missedBeats(const QString &lastSeen, const QDateTime &now);

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
