#include "wire/FleetMachine.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<FleetMachine> FleetMachine::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetMachine"));
    FleetMachine m;
    m.id = in.requiredString(QStringLiteral("id"));
    m.serial = in.requiredString(QStringLiteral("serial"));
    m.name = in.requiredString(QStringLiteral("name"));
    m.app = in.requiredString(QStringLiteral("app"));
    m.appVersion = in.requiredString(QStringLiteral("app_version"));
    m.eventCode = in.requiredString(QStringLiteral("eventcode"));
    m.firstSeen = in.requiredString(QStringLiteral("first_seen"));
    m.lastSeen = in.requiredString(QStringLiteral("last_seen"));
    m.status = in.requiredString(QStringLiteral("status"));
    return in.finish(std::move(m), error);
}

QJsonObject FleetMachine::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("id"), id)
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("app"), app)
        .putString(QStringLiteral("app_version"), appVersion)
        .putString(QStringLiteral("eventcode"), eventCode)
        .putString(QStringLiteral("first_seen"), firstSeen)
        .putString(QStringLiteral("last_seen"), lastSeen)
        .putString(QStringLiteral("status"), status)
        .object();
}

QString FleetMachineList::listKey()
{
    return QStringLiteral("devices");
}

std::optional<FleetMachineList> FleetMachineList::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetMachineList"));
    FleetMachineList list;
    list.devices = in.requiredList<FleetMachine>(listKey());
    return in.finish(std::move(list), error);
}

QJsonObject FleetMachineList::toJson() const
{
    return JsonWriter().putList(listKey(), devices).object();
}

} // namespace vesk
