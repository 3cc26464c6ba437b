#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// One kept copy of a replaced app.
struct AppBackup {
    QString bundleId;
    QString name;
    QString previousVersion;
    QString previousBuild;
    QString backupFileName;
    QString originalPath;
    QDateTime backedUpAt;

    bool operator==(const AppBackup &) const = default;
};

// "manifest.json" in the backup folder: one entry per app, the version replaced last.
// A missing or unreadable manifest reads as empty; it is written atomically.
class BackupManifest {
public:
    explicit BackupManifest(QString backupDir) : m_dir(std::move(backupDir)) {}

    QString path() const { return m_dir + QStringLiteral("/manifest.json"); }
    QList<AppBackup> load() const;
    std::optional<AppBackup> entry(const QString &bundleId) const;
    // Replaces the app's entry (or, with none, removes it); false when the file could not be written.
    bool put(const QString &bundleId, const std::optional<AppBackup> &backup) const;

    // "<Name>_<numeric version>_b<build number>.app" for the bundle being replaced.
    static QString backupFileName(const QString &bundleFileName, const QString &version, const QString &build);

private:
    QString m_dir;
};

} // namespace vesk
