#include "fleetd/http/CommandHandlers.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/PushHub.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/CommandWire.h"
#include "fleetd/http/WireBody.h"
#include "fleetd/records/CommandNames.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/CommandPollRequest.h"
#include "wire/CommandQueueRequest.h"
#include "wire/CommandResultReport.h"
#include "wire/FleetCommandResponse.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

} // namespace

QHttpServerResponse CommandHandlers::poll(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<CommandPollRequest> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    const QString serial = body->serial;
    // A machine takes only its own commands; the key's check tied X-Device-Serial to the tenant.
    if (Refusal refused = refuseDeviceRequest(body, request, serial))
        return std::move(*refused);

    std::optional<QDateTime> quietUntil;
    const StoreResult<QList<CommandRecord>> pending = m_context.store.commands().takePending(
        tenant.id, serial, m_context.now(), m_context.redeliverAfter, &quietUntil);
    if (pending.status.isOk() && pending.value.isEmpty()) {
        QHttpServerResponse idle = m_idleAnswers->answer(serial);
        if (m_shortcut && quietUntil)
            m_shortcut->remember(request, idle.data(), *quietUntil);
        return idle;
    }
    return storeAnswer(pending, QStringLiteral("command poll"), [&serial](const QList<CommandRecord> &commands) {
        return FleetPendingCommands{serial, wireList(commands)};
    });
}

QHttpServerResponse CommandHandlers::result(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const WireBody<CommandResultReport> body(request);
    const qint64 commandId = body->commandId;
    const bool success = body->success;
    const QString text = body->result.value_or(QString());
    if (Refusal refused = refuseBadInput(body))
        return std::move(*refused);
    if (commandId < 0)
        return jsonError(Status::BadRequest, QStringLiteral("\"command_id\" must not be negative"));

    // Results come from the machine the command was for (X-Device-Serial, already tied to the tenant).
    const QString serial = deviceSerial(request);
    if (commandId == 0) {
        return storeOutcome(
            m_context.store.commands().recordLocalResult(tenant.id, serial, success, text, m_context.now()).status,
            QStringLiteral("local result"));
    }
    const StoreStatus stored =
        m_context.store.commands().recordResult(tenant.id, serial, commandId, success, text, m_context.now());
    if (stored.isOk())
        qCInfo(lcFleetd) << "command" << commandId << (success ? "succeeded" : "failed");
    return storeOutcome(stored, QStringLiteral("command result"));
}

QHttpServerResponse CommandHandlers::queue(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<CommandQueueRequest> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    body.require(isFilled(body->command), mustNotBeEmpty("command"));
    if (Refusal refused = refuseBadInput(body))
        return std::move(*refused);
    const QString &serial = body->serial;
    const QString &command = body->command;
    if (!isKnownCommand(command))
        return jsonError(Status::BadRequest, QStringLiteral("unknown command \"%1\"").arg(command));
    // Parameters decode leniently (a list reads as ""); the server refuses anything but scalars.
    if (const std::optional<QStringList> coerced = coercedMember(body.sent(), body->toJson()))
        return jsonError(Status::BadRequest,
                         QStringLiteral("parameter \"%1\" must be a string, number or boolean").arg(coerced->value(1)));
    const QJsonObject params = paramsFromWire(body->params.value_or(QMap<QString, AnyCodable>()));
    if (Refusal refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);

    const StoreResult<qint64> queued = m_context.store.commands().queue(tenant.id, serial, command, params,
                                                                        deviceSerial(request), m_context.now());
    if (!queued.status.isOk())
        return storeFailure(queued.status, QStringLiteral("queueing the command"));
    qCInfo(lcFleetd) << "queued" << command << "for" << serial << "as" << queued.value;
    if (m_push && m_push->commandPending(serial) > 0)
        qCInfo(lcFleetd) << "announced to" << serial << "over its push channel";
    return jsonObject(FleetCommandResponse{true, queued.value, serial, command}.toJson());
}

} // namespace vesk::fleetd
