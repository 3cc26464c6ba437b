#include "fleetd/http/FetchSecretHandler.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/FieldLimits.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/WireBody.h"
#include "fleetd/storage/FleetStore.h"
#include "fleetd/storage/ReleaseArchives.h"
#include "wire/PairingDetails.h"
#include "wire/PairingRequestBody.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QHttpServerResponse FetchSecretHandler::operator()(const QHttpServerRequest &request) const
{
    using Status = QHttpServerResponse::StatusCode;

    const WireBody<PairingRequestBody> body(request);
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    QString serial = body->serial.trimmed();
    if (serial.isEmpty())
        serial = QString::fromUtf8(request.value(QByteArrayLiteral("X-Device-Serial"))).trimmed();
    if (serial.isEmpty())
        return jsonError(Status::BadRequest, QStringLiteral("missing \"serial\""));
    if (serial.size() > FieldLimits::kSerial)
        return jsonError(Status::BadRequest, QStringLiteral("\"serial\" exceeds %1 characters").arg(FieldLimits::kSerial));

    if (!m_limiter->allow(serial, m_context.now()))
        return jsonError(Status::TooManyRequests,
                         QStringLiteral("more than %1 requests a minute for this serial").arg(kLimit));

    const StoreResult<TenantRecord> tenant = m_context.store.ownership().owner(serial);
    if (!tenant.status.isOk()) {
        if (tenant.status.code() == StoreStatus::Code::NotFound)
            return jsonError(Status::NotFound, QStringLiteral("serial %1 is not registered to a tenant").arg(serial));
        return storeFailure(tenant.status, QStringLiteral("machine lookup"));
    }
    const StoreResult<SecretRecord> secret = m_context.store.secrets().active(tenant.value.id);
    if (!secret.status.isOk()) {
        if (secret.status.code() == StoreStatus::Code::NotFound)
            return jsonError(Status::Conflict, QStringLiteral("the tenant has no active fleet secret"));
        return storeFailure(secret.status, QStringLiteral("secret lookup"));
    }
    qCInfo(lcFleetd) << "pairing details for" << serial << "secret id" << secret.value.id;
    PairingDetails details{secret.value.id, secret.value.preview, tenant.value.code};
    if (!m_context.dbPath.isEmpty()) {
        QString keyError;
        details.releaseKey = ReleaseArchives(m_context.dbPath).publicKey(&keyError);
        if (!details.releaseKey)
            qCWarning(lcFleetd).noquote() << "no release key to hand out:" << keyError;
    }
    return jsonObject(details.toJson());
}

} // namespace vesk::fleetd
