#pragma once

#include <QJsonObject>
#include <QString>

namespace vesk::fleetd {

// One heartbeat as a machine sent it, already checked for shape.
struct HeartbeatRecord {
    QString eventCode;
    QString serial;
    QString app;
    QString version;
    // Flat map of string, integer and boolean values.
    QJsonObject state;
};

} // namespace vesk::fleetd
