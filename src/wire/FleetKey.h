#pragma once

#include <QByteArray>
#include <QString>

namespace vesk {

// The value of "X-Fleet-Key": lowercase hex SHA-256 of the tenant code's UTF-8 bytes,
// ".", the secret id in decimal, ".", the secret code.
QByteArray fleetKeyHeaderValue(const QString &tenant, qint64 secretId, const QString &secretCode);

} // namespace vesk
