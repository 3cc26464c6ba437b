#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

#include <ostream>

namespace vesk {

class FleetSecretManager;
class FleetSettingsStore;

// The one-shot shell commands of pairing ("pair CODE", "unpair", "pairing-status"):
// each runs the operation and hands back the exit code and the text to print.
struct CommandOutcome {
    int exitCode = 0;
    QString message;

    friend bool operator==(const CommandOutcome &, const CommandOutcome &) = default;
};

inline std::ostream &operator<<(std::ostream &out, const CommandOutcome &outcome)
{
    return out << "exit " << outcome.exitCode << ": \"" << outcome.message.toStdString() << "\"";
}

namespace PairingCommands {

// 0 with the paired message, 1 with the operator message that refused the code.
QCoro::Task<CommandOutcome> pair(FleetSecretManager &secrets, QString code);
// Removes the current tenant's secret: 0 when removed, 1 without a tenant or when the
// keychain refused.
QCoro::Task<CommandOutcome> unpair(FleetSecretManager &secrets, FleetSettingsStore &settings);
// Refreshes the status with the server first, then prints it; always 0.
QCoro::Task<CommandOutcome> status(FleetSecretManager &secrets);

} // namespace PairingCommands

} // namespace vesk
