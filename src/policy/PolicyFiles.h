#pragma once

#include "wire/policy/DevicePolicy.h"

#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// The engine's two files in the storage folder: the local policy library
// ("policies.json", a pretty-printed list edited in the console) and the policy last put
// in force ("policy_cache.json", compact). Both keep the records' camelCase keys. The
// folder is created whenever a file is read or written; writes are atomic, and a write
// that fails is dropped. A policy that decodes but cannot be put in force counts as
// undecodable.
class PolicyFiles {
public:
    // Our own files are small; anything past this is not one of them.
    static constexpr qint64 maxFileBytes = 16LL * 1024 * 1024;

    explicit PolicyFiles(QString storageDir) : m_dir(std::move(storageDir)) {}

    QString libraryPath() const;
    QString cachePath() const;

    // The library, or none (with why) when it is missing or undecodable.
    std::optional<QList<DevicePolicy>> readLibrary(QString *error = nullptr) const;
    bool saveLibrary(const QList<DevicePolicy> &policies) const;

    std::optional<DevicePolicy> readCache(QString *error = nullptr) const;
    bool writeCache(const DevicePolicy &policy) const;

private:
    std::optional<QByteArray> read(const QString &path, QString *error) const;
    bool write(const QString &path, const QByteArray &bytes) const;

    QString m_dir;
};

} // namespace vesk
