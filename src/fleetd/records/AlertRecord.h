#pragma once

#include <QString>

namespace vesk::fleetd {

// An alert a machine (or a console, for offline machines) reported to its tenant.
struct AlertRecord {
    qint64 id = 0;
    QString serial;
    QString severity;
    QString category;
    QString title;
    QString message;
    // As the reporter wrote it; receivedAt is the server's clock.
    QString timestamp;
    QString receivedAt;
    bool acknowledged = false;
    QString acknowledgedBy;
    QString acknowledgedAt;
};

} // namespace vesk::fleetd
