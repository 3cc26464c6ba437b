#pragma once

#include "local/LockScope.h"
#include "local/PasswordHash.h"

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class DefaultsStore;
class KeychainStore;

// What the console shows after changing or removing a password.
struct PasswordChange {
    bool done = false;
    QString message;

    bool operator==(const PasswordChange &) const = default;
};

namespace LockTexts {
inline const QString mismatch = QStringLiteral("New passwords don't match.");
inline const QString tooShort = QStringLiteral("Password must be at least 4 characters.");
inline const QString wrongCurrent = QStringLiteral("Current password is incorrect.");
inline const QString changed = QStringLiteral("Password changed.");
inline const QString removed = QStringLiteral("Password removed.");
inline const QString wrongAppPassword = QStringLiteral("Incorrect password. Try again.");
inline const QString settingsPrompt = QStringLiteral("Enter the settings password to access this tab.");
inline const QString pausePrompt = QStringLiteral("Enter the pause password to continue.");
inline const QString wrongPausePassword = QStringLiteral("Incorrect password.");
} // namespace LockTexts

// The console's password locks and the lock state it obeys. Only a hash of each password is
// kept, in the keychain item "<base>.<scope key>" (no account). New passwords are stored as
// salted Argon2id (see PasswordHash); a hash in the earlier unsalted SHA-256 form still opens
// its lock and is replaced by the Argon2id form on its first successful use.
//
// A stored value that cannot be read (a keychain error, an empty item, text in no known form)
// counts as no password, with a log line: whoever can damage the item could as well delete it,
// so refusing every password would lock the operator out without stopping anyone.
//
// Hashing runs on a worker thread; every operation is awaited on the main thread.
class AppLock : public QObject {
    Q_OBJECT

public:
    static constexpr int minimumPasswordLength = 4; // characters as the user sees them
    // The user default that starts the app with the app lock engaged, when it has a password.
    static inline const QString autoLockOnLaunchKey = QStringLiteral("autoLockOnLaunch");

    AppLock(KeychainStore &keychain, DefaultsStore &defaults, QString keychainBase,
            PasswordHashCost cost = PasswordHashCost::standard(), QObject *parent = nullptr);

    // Moves hashes earlier versions kept in user defaults into the keychain, then sets the
    // flags: the app lock when "autoLockOnLaunch" is on and an app password exists, the policy
    // and settings locks when theirs exist.
    QCoro::Task<> start();

    bool isLocked() const { return m_appLocked; }
    bool policyLocked() const { return m_policyLocked; }
    bool settingsLocked() const { return m_settingsLocked; }

    // True when the password opens the scope (its flag is then cleared), or when the scope has
    // no password (flag unchanged).
    QCoro::Task<bool> verify(LockScope scope, QString password);
    QCoro::Task<bool> unlockApp(QString password) { return verify(LockScope::app, std::move(password)); }
    QCoro::Task<bool> unlockSettings(QString password) { return verify(LockScope::settings, std::move(password)); }
    // Does nothing for the pause lock, which has no state.
    void setLocked(LockScope scope, bool locked);

    QCoro::Task<bool> hasPassword(LockScope scope);
    // Checks, in order: confirmation, length, current password (not needed while none is set);
    // then stores the new hash and clears the scope's flag.
    QCoro::Task<PasswordChange> changePassword(LockScope scope, QString current, QString newPassword,
                                               QString confirmation);
    QCoro::Task<PasswordChange> removePassword(LockScope scope, QString current);

    QString keychainService(LockScope scope) const;

signals:
    void lockStateChanged();

private:
    enum class Stored { none, matches, differs };
    // Compares a password with the scope's stored hash; a right password in an outdated form
    // is stored again in the current form when `upgrade` is set.
    QCoro::Task<Stored> compare(LockScope scope, QString password, bool upgrade);
    QCoro::Task<std::optional<QByteArray>> storedHash(LockScope scope);
    QCoro::Task<> migrate(LockScope scope);
    bool *flag(LockScope scope);
    void clear(LockScope scope);

    KeychainStore &m_keychain;
    DefaultsStore &m_defaults;
    QString m_base;
    PasswordHashCost m_cost;
    bool m_appLocked = false;
    bool m_policyLocked = false;
    bool m_settingsLocked = false;
};

} // namespace vesk
