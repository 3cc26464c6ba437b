#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vesk {

struct AvailableUpdate;

// Checks a downloaded archive against what its release promises before anything of it is
// opened: the SHA-256 the server published and the fleet's Ed25519 signature (Ed25519ph
// over the archive's bytes, base64). One pass over the file serves both.
// Blocking file work: worker threads only.
class ReleaseVerification {
public:
    static constexpr int publicKeyBytes = 32;
    static constexpr int signatureBytes = 64;

    // `publicKey` is the fleet's key pinned at pairing (32 bytes), empty when none is;
    // with `requireSigned` a release without a valid signature is refused.
    ReleaseVerification(QByteArray publicKey, bool requireSigned)
        : m_publicKey(std::move(publicKey)), m_requireSigned(requireSigned) {}

    // Why the archive must not be installed, or none.
    std::optional<QString> refusal(const QString &file, const AvailableUpdate &release) const;

private:
    QByteArray m_publicKey;
    bool m_requireSigned;
};

} // namespace vesk
