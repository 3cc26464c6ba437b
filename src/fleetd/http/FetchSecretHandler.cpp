#include "fleetd/http/FetchSecretHandler.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QHttpServerResponse FetchSecretHandler::operator()(const QHttpServerRequest &request) const
{
    using Status = QHttpServerResponse::StatusCode;

    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    const QJsonValue serialValue = json.object.value(QLatin1String("serial"));
    if (!serialValue.isUndefined() && !serialValue.isString())
        return jsonError(Status::BadRequest, QStringLiteral("\"serial\" must be a string"));
    QString serial = serialValue.toString().trimmed();
    if (serial.isEmpty())
        serial = QString::fromUtf8(request.value(QByteArrayLiteral("X-Device-Serial"))).trimmed();
    if (serial.isEmpty())
        return jsonError(Status::BadRequest, QStringLiteral("missing \"serial\""));

    if (!m_limiter->allow(serial, m_context.now()))
        return jsonError(Status::TooManyRequests,
                         QStringLiteral("more than %1 requests a minute for this serial").arg(kLimit));

    const StoreResult<TenantRecord> tenant = m_context.store.tenants().machineTenant(serial);
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
    return jsonObject({{QStringLiteral("fleet_secret_id"), secret.value.id},
                       {QStringLiteral("secret_preview"), secret.value.preview},
                       {QStringLiteral("photographer"), tenant.value.code}});
}

} // namespace vesk::fleetd
