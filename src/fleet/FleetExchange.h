#pragma once

#include "fleet/APIResult.h"
#include "fleet/FleetRequest.h"
#include "pairing/StoredFleetSecret.h"
#include "platform/HttpTransport.h"

#include <QUrl>

#include <qcoro/qcorotask.h>

namespace vesk {

class FleetSecretManager;
class FleetSettingsStore;
class MachineIdentity;

// Sends one fleet request: URL under the base, the 60-second inactivity timeout within the
// transport's whole-exchange deadline and response caps (an hour for transfers), the credential
// headers read fresh for every request, and the mapping of failures to APIError,
// including the server's verdict on the secret (which wipes the secret the request carried,
// if it is still the stored one, and raises a flag).
class FleetExchange {
public:
    struct Dependencies {
        HttpTransport &http;
        FleetSettingsStore &settings;
        FleetSecretManager &secrets;
        MachineIdentity &identity;
        QString baseUrl;
    };

    explicit FleetExchange(Dependencies deps);

    // base + "/" + path, with the query only when it has items; invalid when unusable.
    QUrl url(const QString &path, const QList<QPair<QString, QString>> &query) const;

    // The response when its status is 200 (or 304 to a request with ifNoneMatch), else the error.
    QCoro::Task<APIResult<HttpResponse>> perform(FleetRequest request);

    // The current tenant code; empty when none.
    QString tenant() const;

private:
    // Whom a request speaks for: the tenant and its secret as read when it is sent. The
    // server's verdict on the secret is about this one, whatever is stored by the time it comes.
    struct Signer {
        QString tenant;
        std::optional<StoredFleetSecret> secret;
    };

    QCoro::Task<Signer> signer();
    HttpHeaders credentialHeaders(const Signer &signer, const QString &namedSerial) const;
    // The error of a 401 or 403 whose headers speak about the secret, after acting on them.
    QCoro::Task<std::optional<APIError>> handleSecretStatus(HttpResponse response, Signer signer);

    Dependencies m_deps;
};

} // namespace vesk
