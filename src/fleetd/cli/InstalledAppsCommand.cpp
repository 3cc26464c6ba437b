#include "fleetd/cli/InstalledAppsCommand.h"

#include "fleetd/cli/AdminSupport.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace vesk::fleetd {

int runInstalledAppsCommand(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const QString &serial = commandLine.operands.at(0);
    // What the machine's owner sees; a machine that is not registered yet has sent no report either.
    const StoreResult<TenantRecord> owner = store.ownership().owner(serial);
    if (!owner.status.isOk() && owner.status.code() != StoreStatus::Code::NotFound)
        return reportFailure(err, owner.status.message());
    const StoreResult<ReportStore::InstalledApps> report =
        owner.status.isOk() ? store.reports().installedApps(owner.value.id, serial)
                            : StoreResult<ReportStore::InstalledApps>{owner.status};
    // A script waiting for the first report tells "none yet" from "none installed" by the exit code.
    if (report.status.code() == StoreStatus::Code::NotFound)
        return reportFailure(err, QStringLiteral("no installed-apps report from %1 yet").arg(serial));
    if (!report.status.isOk())
        return reportFailure(err, report.status.message());
    for (const QJsonValue &app : report.value.apps) {
        QJsonObject line = app.toObject();
        line.insert(QStringLiteral("reported_at"), report.value.reportedAt);
        out << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vesk::fleetd
