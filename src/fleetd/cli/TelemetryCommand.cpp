#include "fleetd/cli/TelemetryCommand.h"

#include "fleetd/cli/AdminSupport.h"

#include <QJsonDocument>

namespace vesk::fleetd {

int runTelemetryCommand(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const QString &serial = commandLine.operands.at(0);
    const std::optional<TenantRecord> owner = findOwner(store, serial, err);
    if (!owner)
        return 1;
    const StoreResult<QList<TelemetryRecord>> rows = store.reports().telemetrySince(
        owner->id, serial, QDateTime::currentDateTimeUtc().addSecs(-24 * 3600), 100000);
    if (!rows.status.isOk())
        return reportFailure(err, rows.status.message());
    for (const TelemetryRecord &row : rows.value) {
        QJsonObject line = row.body;
        line.insert(QStringLiteral("received_at"), row.receivedAt);
        out << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vesk::fleetd
