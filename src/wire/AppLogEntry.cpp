#include "wire/AppLogEntry.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<AppLogEntry> AppLogEntry::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AppLogEntry"));
    AppLogEntry r;
    r.id = in.requiredInteger(QStringLiteral("id"));
    r.serial = in.requiredString(QStringLiteral("serial"));
    r.bundleId = in.requiredString(QStringLiteral("bundle_id"));
    r.logText = in.requiredString(QStringLiteral("log_text"));
    r.createdAt = in.requiredString(QStringLiteral("created_at"));
    return in.finish(std::move(r), error);
}

QJsonObject AppLogEntry::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("id"), id)
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("bundle_id"), bundleId)
        .putString(QStringLiteral("log_text"), logText)
        .putString(QStringLiteral("created_at"), createdAt)
        .object();
}

std::optional<AppLogsResponse> AppLogsResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AppLogsResponse"));
    AppLogsResponse record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.logs = in.requiredList<AppLogEntry>(QStringLiteral("logs"));
    return in.finish(std::move(record), error);
}

QJsonObject AppLogsResponse::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putList(QStringLiteral("logs"), logs)
        .object();
}

} // namespace vesk
