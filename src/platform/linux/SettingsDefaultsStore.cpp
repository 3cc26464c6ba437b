#include "platform/linux/SettingsDefaultsStore.h"

namespace vesk {

SettingsDefaultsStore::SettingsDefaultsStore(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

QVariant SettingsDefaultsStore::object(const QString &key) const
{
    // Another writer (the console, a one-shot command) may have changed the file.
    m_settings->sync();
    if (m_settings->contains(key))
        return m_settings->value(key);
    return m_registered.value(key);
}

void SettingsDefaultsStore::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void SettingsDefaultsStore::remove(const QString &key)
{
    m_settings->remove(key);
    m_settings->sync();
}

void SettingsDefaultsStore::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

} // namespace vesk
