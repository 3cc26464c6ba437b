#pragma once

#include "platform/PlatformPaths.h"

namespace vesk {

class Clock;
class DefaultsStore;
class HttpTransport;
class KeychainStore;
class MachineIdentity;

// The platform objects of this process. The executable builds the real ones and
// installs them before anything asks for a process-wide service (`shared()`);
// tests hand fakes to constructors instead and never install an environment.
struct AgentEnvironment {
    Clock *clock = nullptr;
    DefaultsStore *defaults = nullptr;
    HttpTransport *http = nullptr;
    MachineIdentity *identity = nullptr;
    PlatformPaths paths;
    QString fleetBaseUrl; // ends in "/api"
    QString appVersion;
    KeychainStore *keychain = nullptr;

    static void install(AgentEnvironment environment);
    // Aborts with a clear message when nothing was installed: a start-up ordering bug.
    static const AgentEnvironment &current();
    static bool isInstalled();
};

} // namespace vesk
