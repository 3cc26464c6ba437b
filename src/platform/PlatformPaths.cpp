#include "platform/PlatformPaths.h"

namespace vesk {

PlatformPaths PlatformPaths::underRoot(const QString &root)
{
    PlatformPaths p;
    p.applicationDirs = {root + QStringLiteral("/Applications")};
    p.sharedDir = root + QStringLiteral("/Users/Shared");
    p.homeDir = root + QStringLiteral("/home");
    p.desktopDir = p.homeDir + QStringLiteral("/Desktop");
    p.documentsDir = p.homeDir + QStringLiteral("/Documents");
    p.storageDir = p.homeDir + QStringLiteral("/.local/share/VeskWarden");
    p.settingsFile = p.homeDir + QStringLiteral("/.config/VeskWarden/VeskWarden.conf");
    p.keychainFile = p.storageDir + QStringLiteral("/keychain.json");
    p.tempDir = root + QStringLiteral("/tmp");
    return p;
}

} // namespace vesk
