#include "fleetd/http/AlertWire.h"

namespace vesk::fleetd {

FleetAlert toWire(const AlertRecord &alert, const QString &tenantCode)
{
    FleetAlert wire;
    wire.id = alert.id;
    wire.alertId = alert.id;
    wire.serial = alert.serial;
    wire.severity = alert.severity;
    wire.category = alert.category;
    wire.title = alert.title;
    wire.message = alert.message;
    wire.timestamp = alert.timestamp;
    wire.receivedAt = alert.receivedAt;
    wire.tenantCode = tenantCode;
    wire.acknowledged = alert.acknowledged;
    if (alert.acknowledged) {
        wire.acknowledgedBy = alert.acknowledgedBy;
        wire.acknowledgedAt = alert.acknowledgedAt;
    }
    return wire;
}

} // namespace vesk::fleetd
