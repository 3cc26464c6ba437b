#include "wire/CommandPollRequest.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<CommandPollRequest> CommandPollRequest::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("CommandPollRequest"));
    CommandPollRequest record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    return in.finish(std::move(record), error);
}

QJsonObject CommandPollRequest::toJson() const
{
    return JsonWriter().putString(QStringLiteral("serial"), serial).object();
}

} // namespace vesk
