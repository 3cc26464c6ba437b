#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// What a machine tells the fleet server once it has run a command.
struct CommandResultReport {
    qint64 commandId = 0;
    bool success = false;
    std::optional<QString> result; // sent only when there is one

    static std::optional<CommandResultReport> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const CommandResultReport &) const = default;
};

} // namespace vesk
