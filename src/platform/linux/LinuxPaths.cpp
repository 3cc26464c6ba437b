#include "platform/linux/LinuxPaths.h"

#include <QDir>

namespace vesk {

namespace {

QString envOr(const QProcessEnvironment &env, const QString &name, const QString &fallback)
{
    const QString v = env.value(name);
    return v.isEmpty() ? fallback : v;
}

// XDG base directories must be absolute; a relative value is invalid and is ignored.
QString xdgOr(const QProcessEnvironment &env, const QString &name, const QString &fallback)
{
    const QString v = env.value(name);
    return QDir::isAbsolutePath(v) ? v : fallback;
}

} // namespace

PlatformPaths linuxPaths(const QProcessEnvironment &env)
{
    PlatformPaths p;
    p.homeDir = envOr(env, QStringLiteral("HOME"), QDir::homePath());
    const QString dataHome = xdgOr(env, QStringLiteral("XDG_DATA_HOME"), p.homeDir + QStringLiteral("/.local/share"));
    const QString configHome = xdgOr(env, QStringLiteral("XDG_CONFIG_HOME"), p.homeDir + QStringLiteral("/.config"));

    const QString apps = env.value(QStringLiteral("VESK_APPLICATIONS"));
    if (!apps.isEmpty())
        p.applicationDirs = apps.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    else
        p.applicationDirs = {QStringLiteral("/opt/Applications"), p.homeDir + QStringLiteral("/Applications")};
    p.sharedDir = envOr(env, QStringLiteral("VESK_SHARED_DIR"), QStringLiteral("/srv/vesk/Shared"));
    p.desktopDir = p.homeDir + QStringLiteral("/Desktop");
    p.documentsDir = p.homeDir + QStringLiteral("/Documents");
    p.storageDir = dataHome + QStringLiteral("/VeskWarden");
    p.settingsFile = configHome + QStringLiteral("/VeskWarden/VeskWarden.conf");
    p.keychainFile = p.storageDir + QStringLiteral("/keychain.json");
    p.tempDir = envOr(env, QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    return p;
}

} // namespace vesk
