#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// The X-Fleet-Key header: "<sha256 hex of the tenant code>.<secret id>.<64-hex code>".
// Parsing only checks the shape; FleetAuth decides what the key is worth.
struct FleetKey {
    // Lower-case hex, 64 characters.
    QString tenantHash;
    qint64 secretId = 0;
    // Lower-case hex, 64 characters; agents lower-case pasted codes, we do too.
    QString code;

    static std::optional<FleetKey> parse(const QByteArray &header);
};

} // namespace vesk::fleetd
