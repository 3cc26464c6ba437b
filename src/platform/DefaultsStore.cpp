#include "platform/DefaultsStore.h"

namespace vesk {

bool DefaultsStore::boolValue(const QString &key) const
{
    const QVariant v = object(key);
    if (!v.isValid())
        return false;
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        const QString text = v.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes") || text.toLongLong() != 0;
    }
    return v.toBool();
}

QString DefaultsStore::stringValue(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
        return v.toString();
    return {};
}

QByteArray DefaultsStore::dataValue(const QString &key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

} // namespace vesk
