#include "fleetd/cli/AlertsCommand.h"

#include "fleetd/cli/AdminSupport.h"

namespace vesk::fleetd {

namespace {

constexpr int kLimit = 1000;

// Machines write these texts; a tab or line break inside one must not shift the columns.
QString field(const QString &text)
{
    QString cleaned = text;
    for (QChar &c : cleaned) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return cleaned;
}

} // namespace

int runAlertsList(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    StoreResult<QList<std::pair<QString, AlertRecord>>> rows;
    if (commandLine.operands.isEmpty()) {
        rows = store.alerts().listEveryTenant(kLimit);
    } else {
        const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.constFirst(), err);
        if (!tenant)
            return 1;
        const StoreResult<QList<AlertRecord>> own = store.alerts().list(tenant->id, kLimit);
        rows.status = own.status;
        for (const AlertRecord &alert : own.value)
            rows.value.append({tenant->code, alert});
    }
    if (!rows.status.isOk())
        return reportFailure(err, rows.status.message());
    for (const auto &[tenantCode, alert] : rows.value) {
        out << alert.id << '\t' << field(tenantCode) << '\t' << field(alert.receivedAt) << '\t' << field(alert.serial)
            << '\t' << field(alert.severity) << '\t' << field(alert.category) << '\t' << field(alert.title) << '\t'
            << field(alert.message) << '\t'
            << (alert.acknowledged ? field(alert.acknowledgedBy) : QStringLiteral("-")) << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vesk::fleetd
