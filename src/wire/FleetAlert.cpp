#include "wire/FleetAlert.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<FleetAlert> FleetAlert::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetAlert"));
    FleetAlert r;
    r.id = in.lenientInteger(QStringLiteral("id"));
    r.alertId = in.lenientInteger(QStringLiteral("alert_id"));
    r.serial = in.lenientString(QStringLiteral("serial"));
    r.severity = in.lenientString(QStringLiteral("severity"));
    r.category = in.lenientString(QStringLiteral("category"));
    r.title = in.lenientString(QStringLiteral("title"));
    r.message = in.lenientString(QStringLiteral("message"));
    r.timestamp = in.lenientString(QStringLiteral("timestamp"));
    r.receivedAt = in.lenientString(QStringLiteral("received_at"));
    r.tenantCode = in.lenientString(QStringLiteral("photographer"));
    r.acknowledged = in.lenientBool(QStringLiteral("acknowledged"));
    r.acknowledgedBy = in.lenientString(QStringLiteral("acknowledged_by"));
    r.acknowledgedAt = in.lenientString(QStringLiteral("acknowledged_at"));
    return in.finish(std::move(r), error);
}

QJsonObject FleetAlert::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("id"), id)
        .putInteger(QStringLiteral("alert_id"), alertId)
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("severity"), severity)
        .putString(QStringLiteral("category"), category)
        .putString(QStringLiteral("title"), title)
        .putString(QStringLiteral("message"), message)
        .putString(QStringLiteral("timestamp"), timestamp)
        .putString(QStringLiteral("received_at"), receivedAt)
        .putString(QStringLiteral("photographer"), tenantCode)
        .putBool(QStringLiteral("acknowledged"), acknowledged)
        .putString(QStringLiteral("acknowledged_by"), acknowledgedBy)
        .putString(QStringLiteral("acknowledged_at"), acknowledgedAt)
        .object();
}

std::optional<FleetAlertsResponse> FleetAlertsResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetAlertsResponse"));
    FleetAlertsResponse record;
    record.alerts = in.requiredList<FleetAlert>(QStringLiteral("alerts"));
    return in.finish(std::move(record), error);
}

QJsonObject FleetAlertsResponse::toJson() const
{
    return JsonWriter().putList(QStringLiteral("alerts"), alerts).object();
}

} // namespace vesk
