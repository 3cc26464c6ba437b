#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vesk {

// The value of "X-Fleet-Key": lowercase hex SHA-256 of the tenant code's UTF-8 bytes,
// ".", the secret id in decimal, ".", the secret code. The agent writes it, the fleet
// server parses it; both go through this one type.
struct FleetKey {
    // Lower-case hex, 64 characters.
    QString tenantHash;
    qint64 secretId = 0;
    // Lower-case hex, 64 characters when parsed; agents lower-case pasted codes, the server does too.
    QString code;

    // The tenant part of a key: lowercase hex SHA-256 of the code's UTF-8 bytes.
    static QString tenantHashOf(const QString &tenant);
    // Only the shape is checked (64 hex, a positive decimal id of at most 18 digits,
    // 64 hex); what the key is worth is the server's business.
    static std::optional<FleetKey> parse(const QByteArray &header);
    QByteArray headerValue() const;
};

QByteArray fleetKeyHeaderValue(const QString &tenant, qint64 secretId, const QString &secretCode);

} // namespace vesk
