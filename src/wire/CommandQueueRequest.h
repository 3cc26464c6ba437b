#pragma once

#include "wire/AnyCodable.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

namespace vesk {

// The console queueing a command for one machine; parameters are scalars only.
struct CommandQueueRequest {
    QString serial;
    QString command;
    std::optional<QMap<QString, AnyCodable>> params;

    static std::optional<CommandQueueRequest> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const CommandQueueRequest &) const = default;
};

} // namespace vesk
