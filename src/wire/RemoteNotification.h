#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// A push the fleet server sends a machine. Only its "type" means anything to the agent.
struct RemoteNotification {
    std::optional<QString> type; // a "type" that is not text is absent

    // The server has queued a command: poll now rather than at the next interval.
    bool isCommandPending() const { return type == QStringLiteral("command_pending"); }

    static std::optional<RemoteNotification> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RemoteNotification &) const = default;
};

} // namespace vesk
