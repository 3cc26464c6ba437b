#include "wire/CommandResultReport.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<CommandResultReport> CommandResultReport::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("CommandResultReport"));
    CommandResultReport record;
    record.commandId = in.requiredInteger(QStringLiteral("command_id"));
    record.success = in.requiredBool(QStringLiteral("success"));
    record.result = in.optionalString(QStringLiteral("result"));
    return in.finish(std::move(record), error);
}

QJsonObject CommandResultReport::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("command_id"), commandId)
        .putBool(QStringLiteral("success"), success)
        .putString(QStringLiteral("result"), result)
        .object();
}

} // namespace vesk
