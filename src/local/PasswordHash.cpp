#include "local/PasswordHash.h"

#include <QCryptographicHash>

#include <sodium.h>

namespace vesk {

namespace {

bool sodiumReady()
{
    // sodium_init() is thread-safe and idempotent; a negative answer means no usable library.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

bool isLegacyForm(const QByteArray &stored)
{
    if (stored.size() != 64)
        return false;
    for (const char c : stored) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

bool isArgon2idForm(const QByteArray &stored)
{
    return stored.startsWith(crypto_pwhash_argon2id_STRPREFIX);
}

} // namespace

PasswordHashCost PasswordHashCost::minimum()
{
    return {crypto_pwhash_argon2id_OPSLIMIT_MIN, crypto_pwhash_argon2id_MEMLIMIT_MIN};
}

std::optional<QByteArray> hashPassword(const QString &password, const PasswordHashCost &cost)
{
    if (!sodiumReady())
        return std::nullopt;
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), quint64(utf8.size()), cost.passes, cost.memoryBytes,
                              crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return std::nullopt;
    return QByteArray(out);
}

PasswordCheck checkPassword(const QByteArray &stored, const QString &password, const PasswordHashCost &cost)
{
    if (isLegacyForm(stored)) {
        const QByteArray typed = legacyPasswordHash(password);
        const QByteArray expected = stored.toLower();
        if (sodiumReady() && sodium_memcmp(typed.constData(), expected.constData(), std::size_t(typed.size())) == 0)
            return PasswordCheck::matchNeedsRehash;
        return PasswordCheck::mismatch;
    }
    // The stored text must be one NUL-terminated string; an embedded NUL is damage.
    if (!sodiumReady() || !isArgon2idForm(stored) || stored.contains('\0'))
        return PasswordCheck::unreadable;
    const int rehash = crypto_pwhash_str_needs_rehash(stored.constData(), cost.passes, cost.memoryBytes);
    if (rehash < 0)
        return PasswordCheck::unreadable;
    const QByteArray utf8 = password.toUtf8();
    if (crypto_pwhash_str_verify(stored.constData(), utf8.constData(), quint64(utf8.size())) != 0)
        return PasswordCheck::mismatch;
    return rehash == 0 ? PasswordCheck::match : PasswordCheck::matchNeedsRehash;
}

bool isReadablePasswordHash(const QByteArray &stored)
{
    if (isLegacyForm(stored))
        return true;
    return sodiumReady() && isArgon2idForm(stored) && !stored.contains('\0')
        && crypto_pwhash_str_needs_rehash(stored.constData(), crypto_pwhash_argon2id_OPSLIMIT_MIN,
                                          crypto_pwhash_argon2id_MEMLIMIT_MIN)
        >= 0;
}

QByteArray legacyPasswordHash(const QString &password)
{
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex();
}

} // namespace vesk
