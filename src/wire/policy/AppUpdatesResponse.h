#pragma once

#include "wire/policy/AvailableUpdate.h"

#include <QList>

#include <optional>

namespace vesk {

// The answer to the app-updates request. One bad release fails the whole list.
struct AppUpdatesResponse {
    QList<AvailableUpdate> updates;

    static std::optional<AppUpdatesResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AppUpdatesResponse &) const = default;
};

} // namespace vesk
