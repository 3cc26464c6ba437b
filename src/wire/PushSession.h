#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// The fleet server's answer when a machine asks to open its push channel: a one-use ticket
// for the WebSocket and the machine's device token, which it then registers for pushes.
struct PushSession {
    QString ticket;
    QString token; // lower-case hexadecimal
    // Where the channel listens (ws:// or wss://, no query); absent: "/push" under the API.
    std::optional<QString> url;

    static std::optional<PushSession> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const PushSession &) const = default;
};

} // namespace vesk
