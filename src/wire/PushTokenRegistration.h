#pragma once

#include <QString>

#include <optional>

namespace vesk {

// What the agent tells the fleet server about its push token.
struct PushTokenRegistration {
    QString token;
    bool isAgent = false;
    QString alertScope; // "photographer" or "location"
    std::optional<QString> photographer;
    std::optional<QString> eventcode;
};

} // namespace vesk
