#pragma once

#include "local/LocalList.h"
#include "local/SettingsSnapshot.h"

#include <QString>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <variant>

namespace vesk {

class Clock;
class DefaultsStore;
class KeychainStore;

namespace TransferTexts {
inline const QString exportDescription = QStringLiteral(
    "Save this Mac's settings — including policies, cleanup rules, and network shares — to a file you can import on "
    "another Mac. Passwords and the fleet secret are never included.");
inline const QString importWarning = QStringLiteral(
    "Importing replaces this Mac's settings, policies, cleanup rules, and network shares. Share passwords are not "
    "carried over and must be re-entered.");
inline const QString suggestedFileName = QStringLiteral("Vesk Warden Settings");
} // namespace TransferTexts

// Carries one machine's set-up to another through a file: the console's preferences, the
// local policy library, this machine's own cleanup rules and network shares. Passwords, the
// fleet secret, alert history and whatever a policy brought stay behind.
class SettingsTransferService {
public:
    struct Dependencies {
        DefaultsStore &defaults;
        KeychainStore &keychain;
        QString keychainBase; // the share passwords' items are "<base>.share-password-<id>"
        LocalList<DevicePolicy> &policies;
        LocalList<RetentionRule> &retentionRules;
        LocalList<MonitoredShare> &shares;
        Clock &clock;
        QString appVersion;
    };

    explicit SettingsTransferService(Dependencies deps);

    // This machine's state now.
    SettingsSnapshot makeSnapshot() const;
    // Replaces this machine's preferences (those in the file), policies, rules and shares; a
    // share no longer listed loses its keychain password. Returns the summary for the operator.
    QCoro::Task<QString> apply(SettingsSnapshot snapshot);

    // The snapshot written to `path` atomically; false (with why) when it could not be written.
    bool exportTo(const QString &path, QString *error = nullptr) const;
    // unreadableFile when the bytes cannot be read, notASettingsFile when they do not decode.
    static std::variant<SettingsSnapshot, TransferError> readFile(const QString &path);

    // The keychain key of a share's password.
    static QString sharePasswordKey(const QUuid &shareId);

private:
    DefaultsStore &m_defaults;
    KeychainStore &m_keychain;
    QString m_keychainBase;
    LocalList<DevicePolicy> &m_policies;
    LocalList<RetentionRule> &m_retentionRules;
    LocalList<MonitoredShare> &m_shares;
    Clock &m_clock;
    QString m_appVersion;
};

} // namespace vesk
