#include "local/AppLock.h"

#include "platform/DefaultsStore.h"
#include "platform/KeychainStore.h"

#include <QLoggingCategory>
#include <QTextBoundaryFinder>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

Q_LOGGING_CATEGORY(lcLocks, "locks")

namespace {

int visibleCharacters(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

AppLock::AppLock(KeychainStore &keychain, DefaultsStore &defaults, QString keychainBase, PasswordHashCost cost,
                 QObject *parent)
    : QObject(parent), m_keychain(keychain), m_defaults(defaults), m_base(std::move(keychainBase)), m_cost(cost)
{
}

QString AppLock::keychainService(LockScope scope) const
{
    return m_base + QLatin1Char('.') + lockScopeKey(scope);
}

QCoro::Task<> AppLock::start()
{
    for (const LockScope scope : allLockScopes)
        co_await migrate(scope);
    // Each await stands alone: g++ 12 miscompiles co_await inside && operands and around temporaries.
    const bool appPassword = co_await hasPassword(LockScope::app);
    const bool policyPassword = co_await hasPassword(LockScope::policy);
    const bool settingsPassword = co_await hasPassword(LockScope::settings);
    m_appLocked = m_defaults.boolValue(autoLockOnLaunchKey) && appPassword;
    m_policyLocked = policyPassword;
    m_settingsLocked = settingsPassword;
    emit lockStateChanged();
}

QCoro::Task<> AppLock::migrate(LockScope scope)
{
    const QString key = lockScopeKey(scope);
    const QVariant legacy = m_defaults.object(key);
    if (legacy.typeId() != QMetaType::QString)
        co_return;
    const QString service = keychainService(scope);
    const KeychainRead existing = co_await m_keychain.read(service, QString());
    if (existing.failed()) {
        // Keep the only copy until a later start can tell whether the keychain holds one.
        qCWarning(lcLocks).noquote() << "Could not move the" << lockScopeName(scope)
                                     << "password hash to the keychain:" << existing.result.message;
        co_return;
    }
    if (existing.absent()) {
        const KeychainResult written = co_await m_keychain.write(service, QString(), legacy.toString().toUtf8());
        if (!written.ok()) {
            qCWarning(lcLocks).noquote() << "Could not move the" << lockScopeName(scope)
                                         << "password hash to the keychain:" << written.message;
            co_return;
        }
    }
    m_defaults.remove(key);
}

QCoro::Task<std::optional<QByteArray>> AppLock::storedHash(LockScope scope)
{
    const KeychainRead read = co_await m_keychain.read(keychainService(scope), QString());
    if (read.failed())
        qCWarning(lcLocks).noquote() << "Could not read the" << lockScopeName(scope)
                                     << "password hash; the lock counts as unset:" << read.result.message;
    if (!read.found() || read.value.isEmpty())
        co_return std::nullopt;
    co_return read.value;
}

QCoro::Task<bool> AppLock::hasPassword(LockScope scope)
{
    const std::optional<QByteArray> stored = co_await storedHash(scope);
    co_return stored && isReadablePasswordHash(*stored);
}

QCoro::Task<AppLock::Stored> AppLock::compare(LockScope scope, QString password, bool upgrade)
{
    const std::optional<QByteArray> stored = co_await storedHash(scope);
    if (!stored)
        co_return Stored::none;
    const PasswordHashCost cost = m_cost;
    const QByteArray hash = *stored;
    const QFuture<PasswordCheck> checking =
        QtConcurrent::run([hash, password, cost] { return checkPassword(hash, password, cost); });
    const PasswordCheck check = co_await checking;
    switch (check) {
    case PasswordCheck::mismatch:
        co_return Stored::differs;
    case PasswordCheck::unreadable:
        qCWarning(lcLocks).noquote() << "The stored" << lockScopeName(scope)
                                     << "password hash is in no known form; the lock counts as unset.";
        co_return Stored::none;
    case PasswordCheck::match:
        co_return Stored::matches;
    case PasswordCheck::matchNeedsRehash:
        break;
    }
    if (upgrade) {
        const QFuture<std::optional<QByteArray>> hashing =
            QtConcurrent::run([password, cost] { return hashPassword(password, cost); });
        const std::optional<QByteArray> fresh = co_await hashing;
        KeychainResult written =
            KeychainResult::failure(KeychainError::Failed, QStringLiteral("Hashing ran out of memory."));
        if (fresh)
            written = co_await m_keychain.write(keychainService(scope), QString(), *fresh);
        if (written.ok())
            qCInfo(lcLocks).noquote() << "Stored the" << lockScopeName(scope) << "password hash in its current form.";
        else
            qCWarning(lcLocks).noquote() << "Could not store the" << lockScopeName(scope)
                                         << "password hash in its current form:" << written.message;
    }
    co_return Stored::matches;
}

QCoro::Task<bool> AppLock::verify(LockScope scope, QString password)
{
    const Stored stored = co_await compare(scope, std::move(password), true);
    if (stored == Stored::matches)
        clear(scope);
    co_return stored != Stored::differs;
}

void AppLock::setLocked(LockScope scope, bool locked)
{
    bool *target = flag(scope);
    if (!target || *target == locked)
        return;
    *target = locked;
    emit lockStateChanged();
}

QCoro::Task<PasswordChange> AppLock::changePassword(LockScope scope, QString current, QString newPassword,
                                                    QString confirmation)
{
    if (newPassword != confirmation)
        co_return PasswordChange{false, LockTexts::mismatch};
    if (visibleCharacters(newPassword) < minimumPasswordLength)
        co_return PasswordChange{false, LockTexts::tooShort};
    // The old hash is about to be replaced, so a right password in the old form is not rewritten.
    const Stored stored = co_await compare(scope, std::move(current), false);
    if (stored == Stored::differs)
        co_return PasswordChange{false, LockTexts::wrongCurrent};
    const PasswordHashCost cost = m_cost;
    const QFuture<std::optional<QByteArray>> hashing =
        QtConcurrent::run([newPassword, cost] { return hashPassword(newPassword, cost); });
    const std::optional<QByteArray> fresh = co_await hashing;
    if (!fresh)
        co_return PasswordChange{false, QStringLiteral("Could not hash the password: the machine is out of memory.")};
    const KeychainResult written = co_await m_keychain.write(keychainService(scope), QString(), *fresh);
    if (!written.ok()) {
        qCWarning(lcLocks).noquote() << "Could not store the" << lockScopeName(scope)
                                     << "password hash:" << written.message;
        co_return PasswordChange{false, written.message};
    }
    clear(scope);
    co_return PasswordChange{true, LockTexts::changed};
}

QCoro::Task<PasswordChange> AppLock::removePassword(LockScope scope, QString current)
{
    // With nothing readable stored there is nothing to protect: removing clears a damaged item.
    const Stored stored = co_await compare(scope, std::move(current), false);
    if (stored == Stored::differs)
        co_return PasswordChange{false, LockTexts::wrongCurrent};
    const KeychainResult removed = co_await m_keychain.remove(keychainService(scope), QString());
    if (!removed.ok()) {
        qCWarning(lcLocks).noquote() << "Could not remove the" << lockScopeName(scope)
                                     << "password hash:" << removed.message;
        co_return PasswordChange{false, removed.message};
    }
    clear(scope);
    co_return PasswordChange{true, LockTexts::removed};
}

bool *AppLock::flag(LockScope scope)
{
    switch (scope) {
    case LockScope::app: return &m_appLocked;
    case LockScope::policy: return &m_policyLocked;
    case LockScope::settings: return &m_settingsLocked;
    case LockScope::pause: return nullptr;
    }
    return nullptr;
}

void AppLock::clear(LockScope scope)
{
    setLocked(scope, false);
}

} // namespace vesk
