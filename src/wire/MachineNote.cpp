#include "wire/MachineNote.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<MachineNote> MachineNote::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("MachineNote"));
    MachineNote r;
    r.id = in.requiredInteger(QStringLiteral("id"));
    r.serial = in.requiredString(QStringLiteral("serial"));
    r.author = in.requiredString(QStringLiteral("author"));
    r.note = in.requiredString(QStringLiteral("note"));
    r.createdAt = in.requiredString(QStringLiteral("created_at"));
    return in.finish(std::move(r), error);
}

QJsonObject MachineNote::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("id"), id)
        .putString(QStringLiteral("serial"), serial)
        .putString(QStringLiteral("author"), author)
        .putString(QStringLiteral("note"), note)
        .putString(QStringLiteral("created_at"), createdAt)
        .object();
}

std::optional<MachineNotesResponse> MachineNotesResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("MachineNotesResponse"));
    MachineNotesResponse record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.notes = in.requiredList<MachineNote>(QStringLiteral("notes"));
    return in.finish(std::move(record), error);
}

QJsonObject MachineNotesResponse::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putList(QStringLiteral("notes"), notes)
        .object();
}

} // namespace vesk
