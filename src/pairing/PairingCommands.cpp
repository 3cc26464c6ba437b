#include "pairing/PairingCommands.h"

#include "settings/FleetSettingsStore.h"
#include "pairing/FleetSecretManager.h"

namespace vesk::PairingCommands {

QCoro::Task<CommandOutcome> pair(FleetSecretManager &secrets, QString code)
{
    const PairResult result = co_await secrets.pair(std::move(code));
    co_return CommandOutcome{result.paired ? 0 : 1, result.message};
}

QCoro::Task<CommandOutcome> unpair(FleetSecretManager &secrets, FleetSettingsStore &settings)
{
    const QString tenant = settings.tenantCode();
    if (tenant.isEmpty())
        co_return CommandOutcome{1, QStringLiteral("No account is set on this Mac, so there is nothing to unpair.")};
    const bool removed = co_await secrets.wipe(tenant);
    if (!removed)
        co_return CommandOutcome{1, QStringLiteral("Couldn't remove the secret from the Keychain. Try again.")};
    co_return CommandOutcome{0, QStringLiteral("Unpaired. This Mac no longer receives fleet commands and policies.")};
}

QCoro::Task<CommandOutcome> status(FleetSecretManager &secrets)
{
    co_await secrets.refreshStatus();
    const PairingStatus current = co_await secrets.pairingStatus();
    QString text = current.headline();
    if (!current.detail().isEmpty())
        text += QLatin1Char('\n') + current.detail();
    // Scripts check the exit status: only a paired machine succeeds.
    co_return CommandOutcome{current.kind == PairingStatus::Kind::paired ? 0 : 1, text};
}

} // namespace vesk::PairingCommands
