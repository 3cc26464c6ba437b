#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace vesk {

// The user-defaults domain of the application: stored values over a layer of
// registration defaults that is never written to disk.
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;

    // The stored value, else the registered default, else an invalid QVariant.
    virtual QVariant object(const QString &key) const = 0;
    virtual void setValue(const QString &key, const QVariant &value) = 0;
    virtual void remove(const QString &key) = 0;
    // Merges `defaults` into the registration layer.
    virtual void registerDefaults(const QVariantMap &defaults) = 0;

    bool hasObject(const QString &key) const { return object(key).isValid(); }
    // false when absent; accepts stored booleans, numbers and the texts "true"/"yes"/"1".
    bool boolValue(const QString &key) const;
    QString stringValue(const QString &key) const;
    // Only a stored byte array counts as data.
    QByteArray dataValue(const QString &key) const;
};

} // namespace vesk
