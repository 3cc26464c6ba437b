#include "wire/AlertAcknowledgement.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<AlertAcknowledgement> AlertAcknowledgement::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AlertAcknowledgement"));
    AlertAcknowledgement record;
    record.alertId = in.requiredInteger(QStringLiteral("alert_id"));
    record.acknowledged = in.requiredBool(QStringLiteral("acknowledged"));
    return in.finish(std::move(record), error);
}

QJsonObject AlertAcknowledgement::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("alert_id"), alertId)
        .putBool(QStringLiteral("acknowledged"), acknowledged)
        .object();
}

} // namespace vesk
