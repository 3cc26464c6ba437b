#include "AgentSide.h"

#include "pairing/AgentBundle.h"
#include "platform/linux/LinuxPaths.h"

namespace vesk::test {

namespace {
QProcessEnvironment agentEnvironment(const QString &home, const QString &sharedDir)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("VESK_SHARED_DIR"), sharedDir.isEmpty() ? home + QStringLiteral("/Shared") : sharedDir);
    return env;
}
} // namespace

AgentSide::AgentSide(const QString &home, const QString &fleetUrl, const QString &serial, const QString &sharedDir)
    : env(agentEnvironment(home, sharedDir)), paths(linuxPaths(env)), defaults(paths.settingsFile),
      keychain(paths.keychainFile), http(QStringLiteral(VESK_VERSION)), identity(serial), settings(defaults, clock),
      secrets({keychain, http, settings, identity, clock, fleetUrl, AgentBundle{}, QStringLiteral("1.0.0")}),
      api({http, settings, secrets, identity, paths, fleetUrl, {}, {}, {}})
{
}

} // namespace vesk::test
