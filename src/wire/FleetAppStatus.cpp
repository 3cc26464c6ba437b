#include "wire/FleetAppStatus.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<FleetAppStatus> FleetAppStatus::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetAppStatus"));
    FleetAppStatus r;
    r.app = in.requiredString(QStringLiteral("app"));
    r.appVersion = in.optionalString(QStringLiteral("app_version"));
    r.eventcode = in.optionalString(QStringLiteral("eventcode"));
    r.locationName = in.optionalString(QStringLiteral("location_name"));
    r.city = in.optionalString(QStringLiteral("city"));
    r.stateRegion = in.optionalString(QStringLiteral("state_region"));
    r.status = in.requiredString(QStringLiteral("status"));
    r.lastSeen = in.optionalString(QStringLiteral("last_seen"));
    r.firstSeen = in.optionalString(QStringLiteral("first_seen"));
    r.consecutiveMisses = in.requiredInteger(QStringLiteral("consecutive_misses"));
    // A computed column the server may send as text, like the telemetry numbers.
    r.uptime90d = in.lenientDouble(QStringLiteral("uptime_90d"));
    r.telemetry = in.optionalRecord<DeviceTelemetrySnapshot>(QStringLiteral("telemetry"));
    return in.finish(std::move(r), error);
}

QJsonObject FleetAppStatus::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("app"), app)
        .putString(QStringLiteral("app_version"), appVersion)
        .putString(QStringLiteral("eventcode"), eventcode)
        .putString(QStringLiteral("location_name"), locationName)
        .putString(QStringLiteral("city"), city)
        .putString(QStringLiteral("state_region"), stateRegion)
        .putString(QStringLiteral("status"), status)
        .putString(QStringLiteral("last_seen"), lastSeen)
        .putString(QStringLiteral("first_seen"), firstSeen)
        .putInteger(QStringLiteral("consecutive_misses"), consecutiveMisses)
        .putDouble(QStringLiteral("uptime_90d"), uptime90d)
        .putRecord(QStringLiteral("telemetry"), telemetry)
        .object();
}

std::optional<FleetDeviceStatus> FleetDeviceStatus::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetDeviceStatus"));
    FleetDeviceStatus record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.apps = in.requiredList<FleetAppStatus>(QStringLiteral("apps"));
    return in.finish(std::move(record), error);
}

QJsonObject FleetDeviceStatus::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putList(QStringLiteral("apps"), apps)
        .object();
}

} // namespace vesk
