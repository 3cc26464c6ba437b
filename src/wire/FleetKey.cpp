#include "wire/FleetKey.h"

#include <QCryptographicHash>

namespace vesk {

QByteArray fleetKeyHeaderValue(const QString &tenant, qint64 secretId, const QString &secretCode)
{
    const QByteArray tenantHash = QCryptographicHash::hash(tenant.toUtf8(), QCryptographicHash::Sha256).toHex();
    return tenantHash + '.' + QByteArray::number(secretId) + '.' + secretCode.toUtf8();
}

} // namespace vesk
