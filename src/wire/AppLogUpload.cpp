#include "wire/AppLogUpload.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<AppLogUpload> AppLogUpload::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AppLogUpload"));
    AppLogUpload record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.bundleId = in.requiredString(QStringLiteral("bundle_id"));
    record.logText = in.requiredString(QStringLiteral("log_text"));
    return in.finish(std::move(record), error);
}

QJsonObject AppLogUpload::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("bundle_id"), bundleId)
        .putString(QStringLiteral("log_text"), logText)
        .object();
}

} // namespace vesk
