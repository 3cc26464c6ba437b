#pragma once

#include "app/WardenHeartbeatManager.h"
#include "credentials/CredentialManager.h"
#include "fleet/FleetAPIClient.h"
#include "local/AppLock.h"
#include "pairing/FleetSecretManager.h"
#include "platform/PlatformPaths.h"
#include "settings/FleetSettingsStore.h"

namespace vesk {

class Clock;
class DefaultsStore;
class HttpTransport;
class KeychainStore;
class MachineIdentity;

// The platform objects of this process, built by the executable.
struct AgentPlatformObjects {
    Clock &clock;
    DefaultsStore &defaults;
    HttpTransport &http;
    MachineIdentity &identity;
    KeychainStore &keychain;
    PlatformPaths paths;
    QString fleetBaseUrl; // ends in "/api"
    QString appVersion;
};

// The agent's shared instances over the platform objects: the password locks, the settings
// store, the fleet secret, the fleet client, the upload credentials and the heartbeat. Start-up builds one and
// hands its members to the services that use them; nothing reaches for them globally.
class AgentFoundation {
public:
    explicit AgentFoundation(const AgentPlatformObjects &platform);

    // Built first; its start() (the move of old hashes into the keychain) runs once per launch.
    AppLock locks;
    FleetSettingsStore settings;
    FleetSecretManager secrets;
    FleetAPIClient api;
    CredentialManager credentials;
    WardenHeartbeatManager heartbeat;
};

} // namespace vesk
