#include "wire/FleetKey.h"

#include <QByteArrayList>
#include <QCryptographicHash>

namespace vesk {

namespace {

bool isHex64(const QByteArray &text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

bool isDecimal(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

QString FleetKey::tenantHashOf(const QString &tenant)
{
    return QString::fromLatin1(QCryptographicHash::hash(tenant.toUtf8(), QCryptographicHash::Sha256).toHex());
}

std::optional<FleetKey> FleetKey::parse(const QByteArray &header)
{
    const QByteArrayList fields = header.trimmed().split('.');
    if (fields.size() != 3 || !isHex64(fields[0]) || !isDecimal(fields[1]) || !isHex64(fields[2]))
        return std::nullopt;
    FleetKey key;
    key.tenantHash = QString::fromLatin1(fields[0]).toLower();
    key.secretId = fields[1].toLongLong();
    key.code = QString::fromLatin1(fields[2]).toLower();
    if (key.secretId <= 0)
        return std::nullopt;
    return key;
}

QByteArray FleetKey::headerValue() const
{
    return tenantHash.toLatin1() + '.' + QByteArray::number(secretId) + '.' + code.toUtf8();
}

QByteArray fleetKeyHeaderValue(const QString &tenant, qint64 secretId, const QString &secretCode)
{
    return FleetKey{FleetKey::tenantHashOf(tenant), secretId, secretCode}.headerValue();
}

} // namespace vesk
