#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// The fleet server's answer to queueing a command for a machine.
struct FleetCommandResponse {
    bool queued = false;
    qint64 commandId = 0;
    QString serial;
    QString command;

    static std::optional<FleetCommandResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetCommandResponse &) const = default;
};

} // namespace vesk
