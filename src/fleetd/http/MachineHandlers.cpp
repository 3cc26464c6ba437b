#include "fleetd/http/MachineHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/http/TelemetrySnapshot.h"
#include "fleetd/storage/FleetStore.h"

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
        return machineJson(machine, statusText(missedBeats(machine.lastSeen, now)));
    };
    return storeRows(m_context.store.tenants().machines(tenant.id), QStringLiteral("listing machines"),
                     QStringLiteral("devices"), toJson);
}

QHttpServerResponse MachineHandlers::status(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<QList<MachineAppRecord>> apps = m_context.store.tenants().machineApps(serial);
    if (!apps.status.isOk())
        return storeFailure(apps.status, QStringLiteral("reading device status"));
    const StoreResult<TelemetryRecord> latest = m_context.store.reports().latestTelemetry(serial);
    if (!latest.status.isOk() && latest.status.code() != StoreStatus::Code::NotFound)
        return storeFailure(latest.status, QStringLiteral("reading telemetry"));

    const QDateTime now = m_context.now();
    const auto toJson = [&](const MachineAppRecord &app) {
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
        return row;
    };
    return jsonObject({{QStringLiteral("serial"), serial}, {QStringLiteral("apps"), jsonArray(apps.value, toJson)}});
}

} // namespace vesk::fleetd
