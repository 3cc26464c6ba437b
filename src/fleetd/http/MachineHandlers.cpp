#include "fleetd/http/MachineHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/http/TelemetrySnapshot.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>
#include <QJsonArray>

#include <algorithm>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

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
    const StoreResult<QList<MachineRecord>> rows = m_context.store.tenants().machines(tenant.id);
    if (!rows.status.isOk())
        return storeFailure(rows.status, QStringLiteral("listing machines"));
    const QDateTime now = m_context.now();
    QJsonArray devices;
    for (const MachineRecord &machine : rows.value)
        devices.append(machineJson(machine, statusText(missedBeats(machine.lastSeen, now))));
    return jsonObject({{QStringLiteral("devices"), devices}});
}

QHttpServerResponse MachineHandlers::status(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<QList<MachineAppRecord>> apps = m_context.store.tenants().machineApps(serial);
    if (!apps.status.isOk())
        return storeFailure(apps.status, QStringLiteral("reading device status"));
    const StoreResult<TelemetryRecord> latest = m_context.store.reports().latestTelemetry(serial);
    if (!latest.status.isOk() && latest.status.code() != StoreStatus::Code::NotFound)
        return storeFailure(latest.status, QStringLiteral("reading telemetry"));

    const QDateTime now = m_context.now();
    QJsonArray rows;
    for (const MachineAppRecord &app : apps.value) {
        const int misses = missedBeats(app.lastSeen, now);
        QJsonObject row{{QStringLiteral("app"), app.app},
                        {QStringLiteral("app_version"), app.version},
                        {QStringLiteral("eventcode"), app.eventCode},
                        {QStringLiteral("status"), statusText(misses)},
                        {QStringLiteral("first_seen"), app.firstSeen},
                        {QStringLiteral("last_seen"), app.lastSeen},
                        {QStringLiteral("consecutive_misses"), misses}};
        if (latest.status.isOk())
            row.insert(QStringLiteral("telemetry"), telemetrySnapshot(latest.value));
        rows.append(row);
    }
    return jsonObject({{QStringLiteral("serial"), serial}, {QStringLiteral("apps"), rows}});
}

} // namespace vesk::fleetd
