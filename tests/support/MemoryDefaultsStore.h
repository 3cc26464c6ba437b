#pragma once

#include "platform/DefaultsStore.h"

namespace vesk::test {

// User defaults in memory, with the same two layers as the real store.
class MemoryDefaultsStore final : public DefaultsStore {
public:
    QVariant object(const QString &key) const override
    {
        return m_values.contains(key) ? m_values.value(key) : m_registered.value(key);
    }
    void setValue(const QString &key, const QVariant &value) override { m_values.insert(key, value); }
    void remove(const QString &key) override { m_values.remove(key); }
    void registerDefaults(const QVariantMap &defaults) override { m_registered.insert(defaults); }

    const QVariantMap &storedValues() const { return m_values; }

private:
    QVariantMap m_values;
    QVariantMap m_registered;
};

} // namespace vesk::test
