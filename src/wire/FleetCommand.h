#pragma once

#include "wire/AnyCodable.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace vesk {

// One command waiting for this machine on the fleet server.
struct FleetCommand {
    qint64 id = 0;
    QString command;
    std::optional<QMap<QString, AnyCodable>> params;

    static std::optional<FleetCommand> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetCommand &) const = default;
};

// The answer to fetching the pending commands.
struct FleetPendingCommands {
    QString serial;
    QList<FleetCommand> commands;

    static std::optional<FleetPendingCommands> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetPendingCommands &) const = default;
};

} // namespace vesk
