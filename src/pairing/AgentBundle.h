#pragma once

#include <QString>

namespace vesk {

// The agent's own bundle identifier, which names it to the fleet server and names the
// keychain service of its fleet secret. A process without a bundle (the Linux build)
// has no identifier and takes the fallbacks.
struct AgentBundle {
    QString mainBundleId; // empty when there is no main bundle

    // The identifier sent to the fleet server: "com.lumora.VeskWarden" without a bundle.
    QString identifier() const;
    // The keychain service of the fleet secret: "com.lumora.warden" when the identifier
    // is missing or is the old "com.lumora.VESK-Warden".
    QString keychainService() const;
};

} // namespace vesk
