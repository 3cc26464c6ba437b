#include "fleetd/http/HeartbeatHandler.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/HeartbeatBody.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QHttpServerResponse HeartbeatHandler::operator()(const QHttpServerRequest &request) const
{
    using Status = QHttpServerResponse::StatusCode;

    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    const HeartbeatBody::Result beat = HeartbeatBody::parse(json.object);
    if (!beat.record)
        return jsonError(Status::BadRequest, beat.error);

    const StoreStatus stored = m_context.store.recordHeartbeat(*beat.record, m_context.now());
    // A heartbeat never takes a machine from its tenant; only an administrator moves one.
    if (stored.code() == StoreStatus::Code::Conflict) {
        qCWarning(lcFleetd).noquote() << stored.message();
        return jsonError(Status::Conflict, QStringLiteral("machine %1 belongs to a tenant this event code is not"
                                                          " bound to; an administrator can move it")
                                               .arg(beat.record->serial));
    }
    if (!stored.isOk()) {
        qCWarning(lcFleetd) << "heartbeat from" << beat.record->serial << "not stored:" << stored.message();
        return jsonError(Status::InternalServerError, QStringLiteral("the heartbeat could not be stored"));
    }
    qCDebug(lcFleetd) << "heartbeat from" << beat.record->serial;
    return jsonOk();
}

} // namespace vesk::fleetd
