#include "fleetd/http/CommandHandlers.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/BodyReader.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/records/CommandNames.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>
#include <QJsonArray>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

QString requestSerial(const QHttpServerRequest &request)
{
    return QString::fromUtf8(request.value(QByteArrayLiteral("X-Device-Serial"))).trimmed();
}

} // namespace

QHttpServerResponse CommandHandlers::poll(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);

    const StoreResult<QList<CommandRecord>> pending =
        m_context.store.commands().takePending(tenant.id, serial, m_context.now());
    if (!pending.status.isOk())
        return storeFailure(pending.status, QStringLiteral("command poll"));
    QJsonArray commands;
    for (const CommandRecord &command : pending.value)
        commands.append(commandJson(command));
    return jsonObject({{QStringLiteral("serial"), serial}, {QStringLiteral("commands"), commands}});
}

QHttpServerResponse CommandHandlers::result(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const qint64 commandId = body.integer(QStringLiteral("command_id"));
    const bool success = body.boolean(QStringLiteral("success"));
    const QString text = body.optionalString(QStringLiteral("result"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (commandId < 0)
        return jsonError(Status::BadRequest, QStringLiteral("\"command_id\" must not be negative"));

    if (commandId == 0) {
        const QString serial = requestSerial(request);
        if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
            return std::move(*refused);
        const StoreResult<qint64> stored =
            m_context.store.commands().recordLocalResult(tenant.id, serial, success, text, m_context.now());
        return stored.status.isOk() ? jsonOk() : storeFailure(stored.status, QStringLiteral("local result"));
    }
    const StoreStatus stored =
        m_context.store.commands().recordResult(tenant.id, commandId, success, text, m_context.now());
    if (!stored.isOk())
        return storeFailure(stored, QStringLiteral("command result"));
    qCInfo(lcFleetd) << "command" << commandId << (success ? "succeeded" : "failed");
    return jsonOk();
}

QHttpServerResponse CommandHandlers::queue(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    const QString command = body.string(QStringLiteral("command"));
    const QJsonObject params = body.optionalObject(QStringLiteral("params"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (!isKnownCommand(command))
        return jsonError(Status::BadRequest, QStringLiteral("unknown command \"%1\"").arg(command));
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (it->isArray() || it->isObject())
            return jsonError(Status::BadRequest,
                             QStringLiteral("parameter \"%1\" must be a string, number or boolean").arg(it.key()));
    }
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);

    const StoreResult<qint64> queued = m_context.store.commands().queue(tenant.id, serial, command, params,
                                                                        requestSerial(request), m_context.now());
    if (!queued.status.isOk())
        return storeFailure(queued.status, QStringLiteral("queueing the command"));
    qCInfo(lcFleetd) << "queued" << command << "for" << serial << "as" << queued.value;
    return jsonObject({{QStringLiteral("queued"), true},
                       {QStringLiteral("command_id"), queued.value},
                       {QStringLiteral("serial"), serial},
                       {QStringLiteral("command"), command}});
}

} // namespace vesk::fleetd
