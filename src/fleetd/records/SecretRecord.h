#pragma once

#include <QString>

namespace vesk::fleetd {

// A fleet secret as stored: never the code itself, only its SHA-256 and preview.
struct SecretRecord {
    qint64 id = 0;
    qint64 tenantId = 0;
    QString tenantCode;
    QString codeSha256;
    QString preview;
    // "active", "rotated" or "revoked".
    QString state;
    QString issuedAt;
    QString rotatedAt;
    QString revokedAt;
};

} // namespace vesk::fleetd
