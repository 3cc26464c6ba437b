#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// Machine notes (authenticated; each note is the writing tenant's):
//   GET    device_notes?serial → {"serial", "notes": [...]}, oldest first;
//   POST   device_notes {"serial", "author", "note"} → {"status": "ok", "id"};
//   DELETE device_notes?id → {"status": "ok"}, 404 for an unknown or foreign note.
class NoteHandlers {
public:
    explicit NoteHandlers(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse list(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse add(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse remove(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
