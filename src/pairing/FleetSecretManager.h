#pragma once

#include "pairing/AgentBundle.h"
#include "pairing/FleetSecretStore.h"
#include "pairing/PairResult.h"
#include "pairing/PairingFlags.h"
#include "pairing/PairingRequests.h"
#include "pairing/PairingStatus.h"
#include "pairing/ProbeResult.h"
#include "pairing/SharedResult.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace vesk {

class Clock;
class FleetSettingsStore;
class HttpTransport;
class KeychainStore;
class MachineIdentity;

// Pairs this Mac with its account's fleet secret: checks a pasted code with the
// server, keeps it in the keychain per tenant, and tracks the four pairing flags that
// the API client and the heartbeat manager update. Main thread, except the flags.
class FleetSecretManager {
public:
    struct Dependencies {
        KeychainStore &keychain;
        HttpTransport &http;
        FleetSettingsStore &settings;
        MachineIdentity &identity;
        Clock &clock;
        QString baseUrl; // ends in "/api"
        AgentBundle bundle;
        QString appVersion;
    };

    explicit FleetSecretManager(Dependencies deps);


    PairingFlags &flags() { return m_flags; }
    const QString &keychainService() const { return m_store.service(); }

    QCoro::Task<std::optional<StoredFleetSecret>> storedSecret(QString tenant);
    QCoro::Task<std::optional<QString>> preview(QString tenant);
    // Deletes the tenant's stored secret; false when the keychain refused a removal.
    QCoro::Task<bool> wipe(QString tenant);

    // The server refused `used`, the secret a request carried for `tenant` (none: it carried
    // none): wipe it and raise isRevoked, or needsReentry (rotated, stale or mismatched). A late
    // verdict changes nothing once the tenant changed or another secret was stored meanwhile
    // (the operator re-paired while the request was out): it is about a secret that is gone.
    QCoro::Task<> markRevoked(QString tenant, std::optional<StoredFleetSecret> used);
    QCoro::Task<> markNeedsReentry(QString tenant, std::optional<StoredFleetSecret> used);

    // The operator pastes a code: validate, check with the server, store.
    QCoro::Task<PairResult> pair(QString code);
    // Re-checks the stored secret, or the server's view of this machine, and updates the flags.
    QCoro::Task<> refreshStatus();
    QCoro::Task<PairingStatus> pairingStatus();

    // The server's pairing details for this machine. A call while a fetch is running
    // awaits that fetch's result instead of sending a second request.
    QCoro::Task<ProbeResult> fetchPairingDetails();

    static const QString pairedMessage;

private:
    QString tenant() const;
    void raiseFlag(bool PairingFlags::Snapshot::*flag);
    // Wipes the tenant's secret unless the verdict on `used` has gone stale; true when it acted.
    QCoro::Task<bool> wipeIfStillStored(QString tenant, std::optional<StoredFleetSecret> used);

    FleetSettingsStore &m_settings;
    Clock &m_clock;
    FleetSecretStore m_store;
    PairingRequests m_requests;
    PairingFlags m_flags;
    std::shared_ptr<SharedResult<ProbeResult>> m_inFlightFetch;
};

} // namespace vesk
