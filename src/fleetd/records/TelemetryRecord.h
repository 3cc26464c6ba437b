#pragma once

#include <QJsonObject>
#include <QString>

namespace vesk::fleetd {

// One telemetry report exactly as the machine sent it, with the server's receive time.
struct TelemetryRecord {
    QString serial;
    QString receivedAt;
    QJsonObject body;
};

} // namespace vesk::fleetd
