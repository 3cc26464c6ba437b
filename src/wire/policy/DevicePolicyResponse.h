#pragma once

#include "wire/policy/DevicePolicy.h"

#include <optional>

namespace vesk {

// The answer to the device-policy request: absent or null when no policy is assigned.
struct DevicePolicyResponse {
    std::optional<DevicePolicy> policy;

    static std::optional<DevicePolicyResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const DevicePolicyResponse &) const = default;
};

} // namespace vesk
