#pragma once

#include "fleetd/records/TenantRecord.h"
#include "fleetd/storage/FleetStore.h"

#include <QTextStream>

#include <optional>

namespace vesk::fleetd {

// Shared steps of the admin commands; each reports its own failure on `err`.
bool openAdminStore(FleetStore &store, const QString &path, FleetStore::OpenMode mode, QTextStream &err);
std::optional<TenantRecord> findTenant(FleetStore &store, const QString &code, QTextStream &err);
// The tenant that owns the machine; the admin views show what that tenant sees.
std::optional<TenantRecord> findOwner(FleetStore &store, const QString &serial, QTextStream &err);
// Prints "vesk-fleetd: <message>" and returns exit code 1.
int reportFailure(QTextStream &err, const QString &message);

} // namespace vesk::fleetd
