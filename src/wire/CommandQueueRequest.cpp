#include "wire/CommandQueueRequest.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<CommandQueueRequest> CommandQueueRequest::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("CommandQueueRequest"));
    CommandQueueRequest record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.command = in.requiredString(QStringLiteral("command"));
    record.params = in.optionalMap<AnyCodable>(QStringLiteral("params"));
    return in.finish(std::move(record), error);
}

QJsonObject CommandQueueRequest::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("command"), command)
        .putMap(QStringLiteral("params"), params)
        .object();
}

} // namespace vesk
