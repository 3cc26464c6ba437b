#pragma once

#include "pairing/PairingCommands.h"
#include "platform/PlatformPaths.h"

#include <qcoro/qcorotask.h>

namespace vesk {

class Clock;
class DefaultsStore;
class KeychainStore;

// What the one-shot settings commands work on: this account's settings, keychain and storage folder.
struct SettingsCommandContext {
    DefaultsStore &defaults;
    KeychainStore &keychain;
    Clock &clock;
    PlatformPaths paths;
    QString keychainBase;
    QString appVersion;
};

// `settings export FILE` writes this machine's set-up to FILE; `settings import FILE` replaces
// it with FILE's and prints the summary. Exit 1 with the reason when either cannot be done.
QCoro::Task<CommandOutcome> runSettingsCommand(QString action, QString file, SettingsCommandContext context);

} // namespace vesk
