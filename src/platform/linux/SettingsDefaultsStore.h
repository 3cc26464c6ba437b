#pragma once

#include "platform/DefaultsStore.h"

#include <QSettings>

#include <memory>

namespace vesk {

// User defaults kept by QSettings in the platform's native format, with an
// in-memory registration layer beneath.
class SettingsDefaultsStore final : public DefaultsStore {
public:
    // The domain kept in `iniFile` (the native format on Linux).
    explicit SettingsDefaultsStore(const QString &iniFile);

    QVariant object(const QString &key) const override;
    void setValue(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override;
    void registerDefaults(const QVariantMap &defaults) override;

private:
    // Writes the changes out and makes the replaced file durable.
    void persist();
    // Writes pending changes and reads the file again; says once when the file cannot be written
    // and once when it can again. While it cannot, every read and write tries again.
    bool sync() const;

    // Replaced by a fresh one while writing fails: QSettings keeps its first error for good.
    mutable std::unique_ptr<QSettings> m_settings;
    mutable bool m_failing = false;
    QVariantMap m_registered;
};

} // namespace vesk
