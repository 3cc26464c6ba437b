#pragma once

#include <QString>

namespace vesk::fleetd {

// Log text a machine uploaded for one app.
struct AppLogRecord {
    qint64 id = 0;
    QString serial;
    QString bundleId;
    QString logText;
    QString createdAt;
};

} // namespace vesk::fleetd
