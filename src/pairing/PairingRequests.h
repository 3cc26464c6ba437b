#pragma once

#include "pairing/ProbeResult.h"
#include "pairing/SecretVerdict.h"

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class Clock;
class HttpTransport;
class MachineIdentity;

// The two requests of pairing, sent straight through the transport (never through the
// API client, whose failures would wipe the very secret being checked): the fetch of
// this machine's pairing details and the probe of one secret.
class PairingRequests {
public:
    struct Dependencies {
        HttpTransport &http;
        MachineIdentity &identity;
        Clock &clock;
        QString baseUrl;   // ends in "/api"
        QString bundleId;  // the identifier sent to the server
        QString appVersion;
    };

    explicit PairingRequests(Dependencies deps);

    // POST "fetch_fleet_secret", 30 s timeout.
    QCoro::Task<ProbeResult> fetchPairingDetails();
    // GET "policies" with the key built from `tenant`, `secretId` and `code`, 60 s timeout.
    QCoro::Task<SecretVerdict> probeSecret(QString tenant, qint64 secretId, QString code);

private:
    Dependencies m_deps;
};

} // namespace vesk
