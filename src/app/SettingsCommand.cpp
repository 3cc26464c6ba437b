#include "app/SettingsCommand.h"

#include "app/PolicyLibraryList.h"
#include "local/JsonListFile.h"
#include "local/SettingsTransferService.h"

namespace vesk {

QCoro::Task<CommandOutcome> runSettingsCommand(QString action, QString file, SettingsCommandContext context)
{
    const QString dir = context.paths.storageDir;
    PolicyLibraryList policies(dir);
    JsonListFile<RetentionRule> rules(dir, QStringLiteral("retention_rules.json"));
    JsonListFile<MonitoredShare> shares(dir, QStringLiteral("monitored_shares.json"));
    SettingsTransferService transfer({context.defaults, context.keychain, context.keychainBase, policies, rules, shares,
                                      context.clock, context.appVersion});

    if (action == QLatin1String("export")) {
        QString why;
        if (!transfer.exportTo(file, &why))
            co_return CommandOutcome{1, QStringLiteral("Could not write %1: %2").arg(file, why)};
        co_return CommandOutcome{0, QStringLiteral("Settings exported to %1. Passwords and the fleet secret are not "
                                                   "included.")
                                        .arg(file)};
    }
    auto read = SettingsTransferService::readFile(file);
    if (const TransferError *error = std::get_if<TransferError>(&read))
        co_return CommandOutcome{1, transferErrorText(*error)};
    SettingsSnapshot snapshot = std::get<SettingsSnapshot>(std::move(read));
    const QString summary = co_await transfer.apply(std::move(snapshot));
    co_return CommandOutcome{0, summary};
}

} // namespace vesk
