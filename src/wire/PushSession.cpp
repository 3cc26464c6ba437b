#include "wire/PushSession.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<PushSession> PushSession::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("PushSession"));
    PushSession record;
    record.ticket = in.requiredString(QStringLiteral("ticket"));
    record.token = in.requiredString(QStringLiteral("token"));
    record.url = in.optionalString(QStringLiteral("url"));
    return in.finish(std::move(record), error);
}

QJsonObject PushSession::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("ticket"), ticket)
        .putString(QStringLiteral("token"), token)
        .putString(QStringLiteral("url"), url)
        .object();
}

} // namespace vesk
