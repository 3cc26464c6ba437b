#include "fleetd/http/RecordJson.h"

namespace vesk::fleetd {

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
