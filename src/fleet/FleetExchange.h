#pragma once

#include "fleet/ApiResult.h"
#include "fleet/FleetRequest.h"
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
// including the server's verdict on the secret (which wipes it and raises a flag).
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

    // The response when its status is 200, else the error.
    QCoro::Task<ApiResult<HttpResponse>> perform(FleetRequest request);

    // The current tenant code; empty when none.
    QString tenant() const;

private:
    QCoro::Task<HttpHeaders> credentialHeaders();
    // The error of a 401 or 403 whose headers speak about the secret, after acting on them.
    QCoro::Task<std::optional<APIError>> handleSecretStatus(HttpResponse response);

    Dependencies m_deps;
};

} // namespace vesk
