#pragma once

#include "fleetd/records/PolicyRecord.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Reads a device policy as the console sends it (snake_case keys). Only what the
// server itself uses is checked: an "id" (or "uuid") that is a UUID, a string
// "name" when present, and "assigned_serials" as a list of strings when present.
// Everything else is stored as sent for the agents to decode.
class PolicyBody {
public:
    struct Result {
        std::optional<PolicyRecord> policy;
        QString error;
    };

    static Result parse(const QJsonObject &body);
    // Lower case without braces, so any spelling of a UUID finds the same policy;
    // empty when `text` is not a UUID.
    static QString normalizedUuid(const QString &text);
};

} // namespace vesk::fleetd
