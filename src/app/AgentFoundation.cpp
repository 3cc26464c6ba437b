#include "app/AgentFoundation.h"

#include "app/AgentOptions.h"
#include "credentials/CredentialsConfig.h"

namespace vesk {

AgentFoundation::AgentFoundation(const AgentPlatformObjects &p)
    // The lock hashes share the keychain service base of the fleet secret.
    : locks(p.keychain, p.defaults, AgentBundle{}.keychainService())
    , settings(p.defaults, p.clock)
    // The Linux build has no application bundle, so pairing takes the identifier fallbacks.
    , secrets(FleetSecretManager::Dependencies{p.keychain, p.http, settings, p.identity, p.clock, p.fleetBaseUrl,
                                               AgentBundle{}, p.appVersion})
    , api(FleetAPIClient::Dependencies{p.http, settings, secrets, p.identity, p.paths, p.fleetBaseUrl, QString(),
                                       p.appVersion})
    , credentials(p.defaults, p.clock, p.http, p.paths, credentials::defaultUploadTestUrl())
    , heartbeat(WardenHeartbeatManager::Dependencies{settings, credentials, secrets.flags(), p.http, p.clock,
                                                     p.identity, heartbeatEndpointFor(p.fleetBaseUrl), p.appVersion})
{
}

} // namespace vesk
