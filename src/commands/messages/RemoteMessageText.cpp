#include "commands/messages/RemoteMessageText.h"

#include <QLocale>

namespace vesk::RemoteMessageText {

std::optional<RemoteMessage> fromParams(qint64 commandId, const QMap<QString, QString> &params, const QDateTime &now)
{
    const QString text = params.value(QStringLiteral("message")).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    RemoteMessage message;
    message.commandId = commandId;
    message.message = text;
    if (const QString title = params.value(QStringLiteral("title")).trimmed(); !title.isEmpty())
        message.title = title;
    message.dismissable = params.value(QStringLiteral("dismissable")).toLower() != QStringLiteral("false");
    message.receivedAt = now;
    return message;
}

QString abbreviatedDateTime(const QDateTime &localTime)
{
    return QLocale(QLocale::English, QLocale::UnitedStates)
        .toString(localTime, QStringLiteral("MMM d, yyyy 'at' h:mm AP"));
}

} // namespace vesk::RemoteMessageText
