#include "fleetd/cli/SecretCommands.h"

#include "fleetd/cli/AdminSupport.h"

namespace vesk::fleetd {

namespace {

using Command = CommandLine::Command;

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

int runSecretCommand(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findTenant(store, commandLine.operands.at(0), err);
    if (!tenant)
        return 1;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    SecretStore &secrets = store.secrets();

    switch (commandLine.command) {
    case Command::SecretIssue:
    case Command::SecretRotate: {
        const StoreResult<SecretStore::Issued> issued = commandLine.command == Command::SecretIssue
                                                            ? secrets.issue(tenant->id, now)
                                                            : secrets.rotate(tenant->id, now);
        if (!issued.status.isOk())
            return reportFailure(err, issued.status.message());
        out << issued.value.id << '\t' << issued.value.code << Qt::endl;
        err << "Secret " << issued.value.id << " for " << tenant->code
            << ". The code above is shown once; paste it on the tenant's Macs." << Qt::endl;
        return 0;
    }
    case Command::SecretRevoke: {
        const StoreStatus revoked = secrets.revoke(tenant->id, now);
        if (!revoked.isOk())
            return reportFailure(err, revoked.message());
        out << "active secret of " << tenant->code << " revoked" << Qt::endl;
        return 0;
    }
    case Command::SecretList: {
        const StoreResult<QList<SecretRecord>> listed = secrets.list(tenant->id);
        if (!listed.status.isOk())
            return reportFailure(err, listed.status.message());
        for (const SecretRecord &secret : listed.value) {
            out << secret.id << '\t' << secret.preview << '\t' << secret.state << '\t' << secret.issuedAt << '\t'
                << orDash(secret.rotatedAt) << '\t' << orDash(secret.revokedAt) << '\n';
        }
        out.flush();
        return 0;
    }
    default:
        return 2;
    }
}

} // namespace vesk::fleetd
