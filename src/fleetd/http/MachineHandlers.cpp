#include "fleetd/http/MachineHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/MachineWire.h"
#include "fleetd/http/TelemetrySnapshot.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/FleetAppStatus.h"

#include <QHttpServerRequest>

#include <algorithm>

namespace vesk::fleetd {

namespace {

QString statusText(int misses)
{
    return misses == 0 ? QStringLiteral("online") : QStringLiteral("offline");
}

} // namespace

int MachineHandlers::missedBeats(const QString &lastSeen, const QDateTime &now)
{
    const QDateTime seen = QDateTime::fromString(lastSeen, Qt::ISODateWithMs);
    if (!seen.isValid())
        return 0;
    const qint64 elapsed = seen.secsTo(now);
    return static_cast<int>(std::max<qint64>(0, elapsed / kHeartbeatSeconds - 1));
}

QHttpServerResponse MachineHandlers::directory(const QHttpServerRequest &, const TenantRecord &tenant) const
{
    const QDateTime now = m_context.now();
    const auto toJson = [&now](const MachineRecord &machine) {
        return toWire(machine, statusText(missedBeats(machine.lastSeen, now))).toJson();
    };
    return storeRows(m_context.store.tenants().machines(tenant.id), QStringLiteral("listing machines"),
                     FleetMachineList::listKey(), toJson);
}

QHttpServerResponse MachineHandlers::status(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<QList<MachineAppRecord>> apps = m_context.store.tenants().machineApps(tenant.id, serial);
    if (!apps.status.isOk())
        return storeFailure(apps.status, QStringLiteral("reading device status"));
    const StoreResult<TelemetryRecord> latest = m_context.store.reports().latestTelemetry(tenant.id, serial);
    if (!latest.status.isOk() && latest.status.code() != StoreStatus::Code::NotFound)
        return storeFailure(latest.status, QStringLiteral("reading telemetry"));

    const QDateTime now = m_context.now();
    FleetDeviceStatus answer{serial, {}};
    for (const MachineAppRecord &app : apps.value) {
        FleetAppStatus row;
        row.app = app.app;
        row.appVersion = app.version;
        row.eventcode = app.eventCode;
        row.consecutiveMisses = missedBeats(app.lastSeen, now);
        row.status = statusText(static_cast<int>(row.consecutiveMisses));
        row.firstSeen = app.firstSeen;
        row.lastSeen = app.lastSeen;
        if (latest.status.isOk())
            row.telemetry = toWire(latest.value);
        answer.apps.append(std::move(row));
    }
    return jsonObject(answer.toJson());
}

} // namespace vesk::fleetd
