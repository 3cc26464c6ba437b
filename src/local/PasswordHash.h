#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

namespace vesk {

// The work one Argon2id password hash costs: passes over memory and the memory itself
// (libsodium runs one lane). The standard cost is what new passwords are stored with; tests
// hand in the minimum so that a table of cases runs in milliseconds.
struct PasswordHashCost {
    unsigned long long passes = 3;
    std::size_t memoryBytes = std::size_t(64) * 1024 * 1024;

    // Argon2id, 3 passes over 64 MiB: close to half a second on one core of a small machine
    // (measured 460 ms on the build machine), once per unlock, and the same per guess for
    // anyone who copied the keychain item; 64 MiB a guess also keeps graphics cards slow.
    static PasswordHashCost standard() { return {}; }
    static PasswordHashCost minimum();

    bool operator==(const PasswordHashCost &) const = default;
};

// How a typed password compares with a stored hash.
enum class PasswordCheck {
    mismatch,
    match,
    matchNeedsRehash, // right password, but stored in the old unsalted form or at another cost
    unreadable,       // the stored text is in no form we know: it can prove nothing
};

// The stored form of a new password: libsodium's self-describing Argon2id string
// ("$argon2id$v=19$m=65536,t=3,p=1$<salt>$<hash>"), salted afresh on every call. None only
// when the machine cannot give the memory the cost asks for.
std::optional<QByteArray> hashPassword(const QString &password, const PasswordHashCost &cost);

// Checks `password` against a stored hash: the Argon2id form above, or the earlier unsalted
// form (SHA-256 of the UTF-8 bytes as 64 hexadecimal digits), which still verifies but asks
// to be replaced. Both compare in constant time. Slow by design: call it off the main thread.
PasswordCheck checkPassword(const QByteArray &stored, const QString &password, const PasswordHashCost &cost);

// Whether the stored text is in a form checkPassword() can use, without hashing anything.
bool isReadablePasswordHash(const QByteArray &stored);

// The earlier unsalted form, still written by machines that have not been upgraded.
QByteArray legacyPasswordHash(const QString &password);

} // namespace vesk
