#include "fleetd/http/NoteHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/WireBody.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/NoteWire.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/NewMachineNote.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QHttpServerResponse NoteHandlers::list(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    return storeAnswer(m_context.store.notes().list(tenant.id, serial), QStringLiteral("listing notes"),
                       [&serial](const QList<NoteRecord> &notes) { return MachineNotesResponse{serial, wireList(notes)}; });
}

QHttpServerResponse NoteHandlers::add(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<NewMachineNote> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    body.require(isFilled(body->note), mustNotBeEmpty("note"));
    if (Refusal refused = refuseMachineRequest(body, m_context.store, tenant, body->serial))
        return std::move(*refused);
    const StoreResult<NoteRecord> stored =
        m_context.store.notes().add(tenant.id, body->serial, body->author, body->note, m_context.now());
    if (!stored.status.isOk())
        return storeFailure(stored.status, QStringLiteral("storing the note"));
    return jsonAck(FleetAck::withId(FleetAck::IdKey::id, stored.value.id));
}

QHttpServerResponse NoteHandlers::remove(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const qint64 id = query.id(QStringLiteral("id"));
    if (Refusal refused = refuseBadInput(query))
        return std::move(*refused);
    return storeOutcome(m_context.store.notes().remove(tenant.id, id), QStringLiteral("deleting the note"));
}

} // namespace vesk::fleetd
