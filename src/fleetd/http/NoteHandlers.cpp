#include "fleetd/http/NoteHandlers.h"

#include "fleetd/http/BodyReader.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>
#include <QJsonArray>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

} // namespace

QHttpServerResponse NoteHandlers::list(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<QList<NoteRecord>> rows = m_context.store.notes().list(tenant.id, serial);
    if (!rows.status.isOk())
        return storeFailure(rows.status, QStringLiteral("listing notes"));
    QJsonArray notes;
    for (const NoteRecord &note : rows.value)
        notes.append(noteJson(note));
    return jsonObject({{QStringLiteral("serial"), serial}, {QStringLiteral("notes"), notes}});
}

QHttpServerResponse NoteHandlers::add(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    const QString author = body.string(QStringLiteral("author"), true);
    const QString text = body.string(QStringLiteral("note"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<NoteRecord> stored =
        m_context.store.notes().add(tenant.id, serial, author, text, m_context.now());
    if (!stored.status.isOk())
        return storeFailure(stored.status, QStringLiteral("storing the note"));
    return jsonObject({{QStringLiteral("status"), QStringLiteral("ok")}, {QStringLiteral("id"), stored.value.id}});
}

QHttpServerResponse NoteHandlers::remove(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const qint64 id = query.id(QStringLiteral("id"));
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    const StoreStatus removed = m_context.store.notes().remove(tenant.id, id);
    return removed.isOk() ? jsonOk() : storeFailure(removed, QStringLiteral("deleting the note"));
}

} // namespace vesk::fleetd
