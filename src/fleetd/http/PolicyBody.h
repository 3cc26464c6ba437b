#pragma once

#include "fleetd/records/PolicyRecord.h"
#include "wire/policy/DevicePolicy.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// The one place a device policy moves between its wire form (the agent's DevicePolicy
// with snake_case keys) and the store's PolicyRecord. A policy is only accepted when the
// agents can decode it; it is kept in the form the agents are sent.
class PolicyBody {
public:
    struct Result {
        std::optional<PolicyRecord> policy;
        QString error;
    };

    // Needs an "id" that is a UUID; "assigned_serials", when present, lists non-blank serials.
    static Result parse(const QJsonObject &body);
    // The stored policy with its assignments; none (and `error` set) when the stored body
    // does not decode.
    static std::optional<DevicePolicy> toWire(const PolicyRecord &policy, QString *error);
    // A policy record's JSON in its wire form.
    static QJsonObject wireJson(const QJsonObject &recordJson);
    // Lower case without braces, so any spelling of a UUID finds the same policy;
    // empty when `text` is not a UUID.
    static QString normalizedUuid(const QString &text);
};

} // namespace vesk::fleetd
