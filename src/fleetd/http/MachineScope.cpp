#include "fleetd/http/MachineScope.h"

#include "fleetd/http/BodyEncoding.h"
#include "fleetd/http/InputReader.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace vesk::fleetd {

Refusal refuseForeignMachine(FleetStore &store, const TenantRecord &tenant, const QString &serial)
{
    const StoreResult<TenantRecord> owner = store.ownership().owner(serial);
    if (owner.status.isOk() && owner.value.id == tenant.id)
        return std::nullopt;
    if (!owner.status.isOk() && owner.status.code() != StoreStatus::Code::NotFound)
        return storeFailure(owner.status, QStringLiteral("machine lookup"));
    return jsonError(QHttpServerResponse::StatusCode::NotFound,
                     QStringLiteral("no machine %1 for this tenant").arg(serial));
}

Refusal refuseMachineRequest(const InputReader &input, FleetStore &store, const TenantRecord &tenant,
                             const QString &serial)
{
    if (Refusal refused = refuseBadInput(input))
        return refused;
    return refuseForeignMachine(store, tenant, serial);
}

Refusal refuseDeviceRequest(const InputReader &input, const QHttpServerRequest &request, const QString &serial)
{
    if (Refusal refused = refuseBadInput(input))
        return refused;
    const QString device = deviceSerial(request);
    if (serial == device)
        return std::nullopt;
    return jsonError(QHttpServerResponse::StatusCode::Forbidden,
                     QStringLiteral("machine %1 cannot act for machine %2").arg(device, serial));
}

Refusal refuseBadInput(const InputReader &input)
{
    if (input.ok())
        return std::nullopt;
    return jsonError(QHttpServerResponse::StatusCode::BadRequest, input.error());
}

QString deviceSerial(const QHttpServerRequest &request)
{
    const QString header = QString::fromUtf8(request.value(QByteArrayLiteral("X-Device-Serial"))).trimmed();
    if (!header.isEmpty())
        return header;
    const QByteArray body = BodyEncoding::body(request);
    if (!body.isEmpty()) {
        const QJsonValue named = QJsonDocument::fromJson(body).object().value(QLatin1String("serial"));
        return named.isString() ? named.toString().trimmed() : QString();
    }
    return QUrlQuery(request.url()).queryItemValue(QStringLiteral("serial"), QUrl::FullyDecoded).trimmed();
}

} // namespace vesk::fleetd
