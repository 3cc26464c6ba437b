#include "fleetd/http/RecordJson.h"

namespace vesk::fleetd {

QJsonObject alertJson(const AlertRecord &alert, const QString &photographer)
{
    return {{QStringLiteral("id"), alert.id},
            {QStringLiteral("alert_id"), alert.id},
            {QStringLiteral("serial"), alert.serial},
            {QStringLiteral("severity"), alert.severity},
            {QStringLiteral("category"), alert.category},
            {QStringLiteral("title"), alert.title},
            {QStringLiteral("message"), alert.message},
            {QStringLiteral("timestamp"), alert.timestamp},
            {QStringLiteral("received_at"), alert.receivedAt},
            {QStringLiteral("photographer"), photographer},
            {QStringLiteral("acknowledged"), alert.acknowledged},
            {QStringLiteral("acknowledged_by"), alert.acknowledged ? QJsonValue(alert.acknowledgedBy) : QJsonValue()},
            {QStringLiteral("acknowledged_at"), alert.acknowledged ? QJsonValue(alert.acknowledgedAt) : QJsonValue()}};
}

QJsonObject machineJson(const MachineRecord &machine, const QString &status)
{
    return {{QStringLiteral("id"), machine.serial},
            {QStringLiteral("serial"), machine.serial},
            {QStringLiteral("name"), machine.serial},
            {QStringLiteral("app"), machine.app},
            {QStringLiteral("app_version"), machine.version},
            {QStringLiteral("eventcode"), machine.eventCode},
            {QStringLiteral("first_seen"), machine.firstSeen},
            {QStringLiteral("last_seen"), machine.lastSeen},
            {QStringLiteral("status"), status}};
}

} // namespace vesk::fleetd
