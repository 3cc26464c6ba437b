#include "fleetd/http/CommandHandlers.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/BodyReader.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/CommandWire.h"
#include "fleetd/records/CommandNames.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/FleetCommandResponse.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

} // namespace

QHttpServerResponse CommandHandlers::poll(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    BodyReader body(request);
    const QString serial = body.string(QStringLiteral("serial"));
    if (Refusal refused = refuseMachineRequest(body, m_context.store, tenant, serial))
        return std::move(*refused);

    return storeAnswer(m_context.store.commands().takePending(tenant.id, serial, m_context.now()),
                       QStringLiteral("command poll"), [&serial](const QList<CommandRecord> &commands) {
                           return FleetPendingCommands{serial, wireList(commands)};
                       });
}

QHttpServerResponse CommandHandlers::result(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    BodyReader body(request);
    const qint64 commandId = body.integer(QStringLiteral("command_id"));
    const bool success = body.boolean(QStringLiteral("success"));
    const QString text = body.optionalString(QStringLiteral("result"));
    if (Refusal refused = refuseBadInput(body))
        return std::move(*refused);
    if (commandId < 0)
        return jsonError(Status::BadRequest, QStringLiteral("\"command_id\" must not be negative"));

    if (commandId == 0) {
        const QString serial = deviceSerial(request);
        if (Refusal refused = refuseForeignMachine(m_context.store, tenant, serial))
            return std::move(*refused);
        return storeOutcome(
            m_context.store.commands().recordLocalResult(tenant.id, serial, success, text, m_context.now()).status,
            QStringLiteral("local result"));
    }
    const StoreStatus stored =
        m_context.store.commands().recordResult(tenant.id, commandId, success, text, m_context.now());
    if (stored.isOk())
        qCInfo(lcFleetd) << "command" << commandId << (success ? "succeeded" : "failed");
    return storeOutcome(stored, QStringLiteral("command result"));
}

QHttpServerResponse CommandHandlers::queue(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    BodyReader body(request);
    const QString serial = body.string(QStringLiteral("serial"));
    const QString command = body.string(QStringLiteral("command"));
    const QJsonObject params = body.optionalObject(QStringLiteral("params"));
    if (Refusal refused = refuseBadInput(body))
        return std::move(*refused);
    if (!isKnownCommand(command))
        return jsonError(Status::BadRequest, QStringLiteral("unknown command \"%1\"").arg(command));
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (it->isArray() || it->isObject())
            return jsonError(Status::BadRequest,
                             QStringLiteral("parameter \"%1\" must be a string, number or boolean").arg(it.key()));
    }
    if (Refusal refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);

    const StoreResult<qint64> queued = m_context.store.commands().queue(tenant.id, serial, command, params,
                                                                        deviceSerial(request), m_context.now());
    if (!queued.status.isOk())
        return storeFailure(queued.status, QStringLiteral("queueing the command"));
    qCInfo(lcFleetd) << "queued" << command << "for" << serial << "as" << queued.value;
    return jsonObject(FleetCommandResponse{true, queued.value, serial, command}.toJson());
}

} // namespace vesk::fleetd
