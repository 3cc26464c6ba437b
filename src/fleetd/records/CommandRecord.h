#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// A remote command and where it stands: "pending" until a poll hands it out,
// "delivered" (with the time) until the machine reports, then "succeeded" or
// "failed". An unanswered delivered command is handed out again after a while.
struct CommandRecord {
    qint64 id = 0;
    qint64 tenantId = 0;
    QString serial;
    QString command;
    QJsonObject params;
    QString state;
    QString queuedBy;
    QString queuedAt;
    QString deliveredAt;
    QString completedAt;
    std::optional<bool> success;
    QString result;
};

} // namespace vesk::fleetd
