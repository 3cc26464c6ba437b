#include "fleetd/http/SpeedtestHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/QueryReader.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QHttpServerResponse SpeedtestHandlers::head(const QHttpServerRequest &, const TenantRecord &) const
{
    return QHttpServerResponse(QHttpServerResponse::StatusCode::Ok);
}

QHttpServerResponse SpeedtestHandlers::download(const QHttpServerRequest &request, const TenantRecord &) const
{
    QueryReader query(request);
    const int size = query.integer(QStringLiteral("size"), kDefaultBytes, 0, kMaxBytes);
    if (!query.ok())
        return jsonError(QHttpServerResponse::StatusCode::BadRequest, query.error());
    // Incompressible enough for the purpose and cheap to make.
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131) ^ (i >> 7));
    return QHttpServerResponse(QByteArrayLiteral("application/octet-stream"), std::move(bytes));
}

QHttpServerResponse SpeedtestHandlers::upload(const QHttpServerRequest &request, const TenantRecord &) const
{
    const qsizetype received = request.body().size();
    if (received > kMaxBytes)
        return jsonError(QHttpServerResponse::StatusCode::BadRequest,
                         QStringLiteral("request body exceeds %1 bytes").arg(kMaxBytes));
    FleetAck ack;
    ack.receivedBytes = received;
    return jsonAck(ack);
}

} // namespace vesk::fleetd
