#pragma once

#include <QString>
#include <QStringList>

namespace vesk {

// Every fixed place the agent reads or writes. On macOS these are the documented
// folders ("/Applications", "/Users/Shared", Application Support/VeskWarden, ...);
// on Linux they follow XDG; tests build one under a temporary root.
struct PlatformPaths {
    QStringList applicationDirs;   // first entry stands for "/Applications"
    QString sharedDir;             // stands for "/Users/Shared"
    QString homeDir;
    QString desktopDir;
    QString documentsDir;
    QString storageDir;            // VeskWarden under Application Support
    QString settingsFile;          // the user-defaults domain
    QString keychainFile;          // fallback keychain when no secret service answers
    QString tempDir;

    QString applicationsDir() const { return applicationDirs.value(0); }
    QString payloadBackupDir() const { return sharedDir + QStringLiteral("/.warden-backups"); }
    QString updateBackupDir() const { return storageDir + QStringLiteral("/Backups"); }

    // Every path below `root`, in the same shape as the real ones.
    static PlatformPaths underRoot(const QString &root);
};

} // namespace vesk
