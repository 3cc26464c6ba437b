#pragma once

#include "settings/FleetSettingsStore.h"
#include "fleet/FleetAPIClient.h"
#include "pairing/FleetSecretManager.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/LinuxMachineIdentity.h"
#include "platform/linux/QtHttpTransport.h"
#include "platform/linux/SettingsDefaultsStore.h"
#include "platform/linux/SystemClock.h"

#include <QProcessEnvironment>

namespace vesk::test {

// An agent's own fleet client and secret store over the same HOME (and so the same
// settings and keychain files) as its process: what the console of that machine does.
struct AgentSide {
    AgentSide(const QString &home, const QString &fleetUrl, const QString &serial,
              const QString &sharedDir = QString());

    QProcessEnvironment env;
    PlatformPaths paths;
    SystemClock clock;
    SettingsDefaultsStore defaults;
    FileKeychainStore keychain;
    QtHttpTransport http;
    LinuxMachineIdentity identity;
    FleetSettingsStore settings;
    FleetSecretManager secrets;
    FleetAPIClient api;
};

} // namespace vesk::test
