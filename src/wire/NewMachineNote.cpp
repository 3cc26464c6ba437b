#include "wire/NewMachineNote.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<NewMachineNote> NewMachineNote::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("NewMachineNote"));
    NewMachineNote record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.author = in.requiredString(QStringLiteral("author"));
    record.note = in.requiredString(QStringLiteral("note"));
    return in.finish(std::move(record), error);
}

QJsonObject NewMachineNote::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("author"), author)
        .putString(QStringLiteral("note"), note)
        .object();
}

} // namespace vesk
