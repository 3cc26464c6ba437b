#include "platform/linux/SettingsDefaultsStore.h"

#include "platform/AtomicFile.h"

#include <QFileInfo>

namespace vesk {

SettingsDefaultsStore::SettingsDefaultsStore(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

QVariant SettingsDefaultsStore::object(const QString &key) const
{
    // Another writer (the console, a one-shot command) may have changed the file.
    m_settings->sync();
    if (m_settings->contains(key)) {
        // The INI format writes an empty list as "@Invalid()"; we never store invalid values
        // (setValue removes them), so that is an empty list coming back.
        const QVariant stored = m_settings->value(key);
        return stored.isValid() ? stored : QVariant(QStringList());
    }
    return m_registered.value(key);
}

void SettingsDefaultsStore::setValue(const QString &key, const QVariant &value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    m_settings->setValue(key, value);
    persist();
}

void SettingsDefaultsStore::remove(const QString &key)
{
    m_settings->remove(key);
    persist();
}

void SettingsDefaultsStore::persist()
{
    // QSettings writes the file through a temporary file it fsyncs and renames into place;
    // the rename is durable once the folder is flushed too.
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        AtomicFile::syncFolder(QFileInfo(m_settings->fileName()).absolutePath());
}

void SettingsDefaultsStore::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

} // namespace vesk
