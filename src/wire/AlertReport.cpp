#include "wire/AlertReport.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<AlertReport> AlertReport::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AlertReport"));
    AlertReport record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.severity = in.requiredString(QStringLiteral("severity"));
    record.category = in.requiredString(QStringLiteral("category"));
    record.title = in.requiredString(QStringLiteral("title"));
    record.message = in.requiredString(QStringLiteral("message"));
    record.timestamp = in.optionalIsoDate(QStringLiteral("timestamp"));
    record.tenantCode = in.optionalString(QStringLiteral("photographer"));
    record.resolved = in.lenientBool(QStringLiteral("resolved"));
    return in.finish(std::move(record), error);
}

QJsonObject AlertReport::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("severity"), severity)
        .putString(QStringLiteral("category"), category)
        .putString(QStringLiteral("title"), title)
        .putString(QStringLiteral("message"), message)
        .putIsoDate(QStringLiteral("timestamp"), timestamp)
        .putString(QStringLiteral("photographer"), tenantCode)
        .putBool(QStringLiteral("resolved"), resolved)
        .object();
}

} // namespace vesk
