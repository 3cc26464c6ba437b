#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// A machine asking the fleet server for the commands waiting for it.
struct CommandPollRequest {
    QString serial;

    static std::optional<CommandPollRequest> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const CommandPollRequest &) const = default;
};

} // namespace vesk
