#include "wire/RemoteMessage.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<RemoteMessage> RemoteMessage::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RemoteMessage"));
    RemoteMessage r;
    r.commandId = in.requiredInteger(QStringLiteral("commandId"));
    r.title = in.optionalString(QStringLiteral("title"));
    r.message = in.requiredString(QStringLiteral("message"));
    r.dismissable = in.requiredBool(QStringLiteral("dismissable"));
    r.receivedAt = in.requiredDate(QStringLiteral("receivedAt"));
    return in.finish(std::move(r), error);
}

QJsonObject RemoteMessage::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("commandId"), commandId)
        .putString(QStringLiteral("title"), title)
        .putString(QStringLiteral("message"), message)
        .putBool(QStringLiteral("dismissable"), dismissable)
        .putDate(QStringLiteral("receivedAt"), receivedAt)
        .object();
}

} // namespace vesk
