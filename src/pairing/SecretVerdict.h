#pragma once

#include <QString>

#include <iosfwd>

namespace vesk {

// The fleet server's answer to "is this secret id and code accepted?".
struct SecretVerdict {
    enum class Kind {
        accepted,
        rotated,     // rotated or stale: the operator must paste the new code
        revoked,
        mismatch,    // the code does not belong to the id
        rejected,    // any other refusal or unexpected status
        unreachable, // transport failure
    };

    Kind kind = Kind::rejected;
    QString message; // the operator message; empty when accepted

    bool accepted() const { return kind == Kind::accepted; }

    friend bool operator==(const SecretVerdict &, const SecretVerdict &) = default;
};

std::ostream &operator<<(std::ostream &out, const SecretVerdict &verdict);

} // namespace vesk
