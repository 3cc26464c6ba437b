#pragma once

#include "wire/PairingDetails.h"

#include <QString>

#include <iosfwd>

namespace vesk {

// The fleet server's answer about this machine to a pairing-details fetch.
struct ProbeResult {
    enum class Kind { ok, error, serialUnknown, tenantHasNoSecret, throttled };

    Kind kind = Kind::error;
    PairingDetails details; // for ok
    QString message;        // for error: the operator message

    static ProbeResult ok(PairingDetails details) { return {Kind::ok, std::move(details), {}}; }
    static ProbeResult error(QString message) { return {Kind::error, {}, std::move(message)}; }
    static ProbeResult serialUnknown() { return {Kind::serialUnknown, {}, {}}; }
    static ProbeResult tenantHasNoSecret() { return {Kind::tenantHasNoSecret, {}, {}}; }
    static ProbeResult throttled() { return {Kind::throttled, {}, {}}; }

    friend bool operator==(const ProbeResult &, const ProbeResult &) = default;
};

std::ostream &operator<<(std::ostream &out, const ProbeResult &result);

} // namespace vesk
