#include "fleetd/cli/QueueCommands.h"

#include "fleetd/cli/AdminSupport.h"
#include "fleetd/cli/CommandParams.h"
#include "fleetd/cli/PushCommand.h"
#include "fleetd/http/CommandWire.h"
#include "fleetd/records/CommandNames.h"

#include <QJsonDocument>

namespace vesk::fleetd {

int runCommandQueue(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    const QString serial = commandLine.operands.at(0);
    const QString command = commandLine.operands.at(1);
    if (!isKnownCommand(command)) {
        return reportFailure(err, QStringLiteral("unknown command \"%1\"; known: %2")
                                      .arg(command, knownCommandNames().join(QStringLiteral(", "))));
    }
    QString error;
    const std::optional<QMap<QString, AnyCodable>> params = parseCommandParams(commandLine.params, &error);
    if (!params)
        return reportFailure(err, error);

    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const std::optional<TenantRecord> tenant = findOwner(store, serial, err);
    if (!tenant)
        return 1;
    const StoreResult<qint64> queued = store.commands().queue(tenant->id, serial, command, paramsFromWire(*params),
                                                              QStringLiteral("admin"), QDateTime::currentDateTimeUtc());
    if (!queued.status.isOk())
        return reportFailure(err, queued.status.message());
    out << queued.value << Qt::endl;
    // A running server passes it on to the machine's push channel at once.
    announcePendingCommand(commandLine.dbPath, serial);
    return 0;
}

int runCommandList(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::ExistingOnly, err))
        return 1;
    const StoreResult<QList<CommandRecord>> listed = store.commands().list(commandLine.operands.at(0));
    if (!listed.status.isOk())
        return reportFailure(err, listed.status.message());
    for (const CommandRecord &command : listed.value) {
        QString result = command.result;
        result.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
        out << command.id << '\t' << command.command << '\t'
            << QString::fromUtf8(QJsonDocument(command.params).toJson(QJsonDocument::Compact)) << '\t'
            << command.state << '\t' << command.queuedAt << '\t'
            << (command.success ? (*command.success ? "true" : "false") : "-") << '\t' << result << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vesk::fleetd
