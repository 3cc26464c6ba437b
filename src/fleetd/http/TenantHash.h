#pragma once

#include <QString>

namespace vesk::fleetd {

// The tenant part of a fleet key is the SHA-256 of the tenant code as the machine
// spells it, and machines spell codes in whatever case their credentials use, while
// codes match without regard to case everywhere else. So a key's hash is accepted for
// any spelling of the stored code that differs only in case.
class TenantHash {
public:
    // Codes with more letters than this are matched as stored, lower- and upper-cased
    // only; below it every mix of cases is tried (at most 2^12 hashes, once per key).
    static constexpr int kMaxMixedLetters = 12;

    static bool matches(const QString &hash, const QString &code);
};

} // namespace vesk::fleetd
