#include "platform/linux/SettingsDefaultsStore.h"

#include "platform/AtomicFile.h"
#include "platform/LogCategories.h"

#include <QFileInfo>

namespace vesk {

SettingsDefaultsStore::SettingsDefaultsStore(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

QVariant SettingsDefaultsStore::object(const QString &key) const
{
    // Another writer (the console, a one-shot command) may have changed the file.
    sync();
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
    if (sync())
        AtomicFile::syncFolder(QFileInfo(m_settings->fileName()).absolutePath());
}

bool SettingsDefaultsStore::sync() const
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        // The error sticks to this QSettings even once the disk takes writes again, so a fresh
        // one over the same file, holding every value, writes them out and tells.
        auto fresh = std::make_unique<QSettings>(m_settings->fileName(), m_settings->format());
        const QStringList keys = m_settings->allKeys();
        for (const QString &key : fresh->allKeys()) {
            if (!keys.contains(key))
                fresh->remove(key);
        }
        for (const QString &key : keys)
            fresh->setValue(key, m_settings->value(key));
        fresh->sync();
        m_settings = std::move(fresh);
    }
    const bool failing = m_settings->status() != QSettings::NoError;
    if (failing && !m_failing)
        qCWarning(lcPlatform).noquote() << QStringLiteral("Settings not saved: %1 could not be written; the changes "
                                                         "are kept and written once it can be")
                                               .arg(m_settings->fileName());
    else if (!failing && m_failing)
        qCInfo(lcPlatform).noquote() << QStringLiteral("Settings saved again to %1").arg(m_settings->fileName());
    m_failing = failing;
    return !failing;
}

void SettingsDefaultsStore::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

} // namespace vesk
