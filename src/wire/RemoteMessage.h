#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// The administrator's message currently on screen, kept in the settings store.
// Stored with camelCase keys; the date is seconds since 2001-01-01.
struct RemoteMessage {
    qint64 commandId = 0; // the command that delivered it
    std::optional<QString> title;
    QString message;
    bool dismissable = false;
    QDateTime receivedAt;

    static std::optional<RemoteMessage> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RemoteMessage &) const = default;
};

} // namespace vesk
