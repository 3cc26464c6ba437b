#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"

#include "local/AppLock.h"

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

using namespace vesk;
using vesk::test::MemoryDefaultsStore;
using vesk::test::MemoryKeychainStore;

namespace {

const QString kBase = QStringLiteral("com.lumora.warden");
const QString kAppItem = QStringLiteral("com.lumora.warden.applock_hash");
const QString kPassword = QStringLiteral("kiosk-2024");
const PasswordHashCost kOtherCost{2, 16 * 1024};

QByteArray argon2(const QString &password, PasswordHashCost cost = PasswordHashCost::minimum())
{
    return *hashPassword(password, cost);
}

struct Rig {
    MemoryKeychainStore keychain;
    MemoryDefaultsStore defaults;
    AppLock lock{keychain, defaults, kBase, PasswordHashCost::minimum()};

    std::optional<QByteArray> appItem() const { return keychain.stored(kAppItem, QString()); }
};

enum class After { unchanged, upgraded };

struct VerifyCase {
    const char *name;
    std::optional<QByteArray> stored; // none: no item
    QString typed;
    bool opens;
    bool stillLocked;
    After after;
};

TEST(AppLockTest, VerifyAgainstEveryStoredForm)
{
    const QByteArray current = argon2(kPassword);
    const QByteArray legacy = legacyPasswordHash(kPassword);
    const QByteArray otherCost = argon2(kPassword, kOtherCost);
    const VerifyCase cases[] = {
        {"no password", std::nullopt, "anything", true, true, After::unchanged},
        {"argon2id right", current, kPassword, true, false, After::unchanged},
        {"argon2id wrong", current, "kiosk-2025", false, true, After::unchanged},
        {"argon2id at another cost, right", otherCost, kPassword, true, false, After::upgraded},
        {"argon2id at another cost, wrong", otherCost, "nope", false, true, After::unchanged},
        {"legacy right", legacy, kPassword, true, false, After::upgraded},
        {"legacy in upper case, right", legacy.toUpper(), kPassword, true, false, After::upgraded},
        {"legacy wrong", legacy, "Kiosk-2024", false, true, After::unchanged},
        {"empty item", QByteArray(), "anything", true, true, After::unchanged},
        {"corrupt text", QByteArray("not a hash at all"), "anything", true, true, After::unchanged},
        {"truncated argon2id", current.left(30), kPassword, true, true, After::unchanged},
        {"63 hex digits", legacy.left(63), kPassword, true, true, After::unchanged},
    };
    for (const VerifyCase &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.stored)
            rig.keychain.put(kAppItem, QString(), *c.stored);
        rig.lock.setLocked(LockScope::app, true);

        EXPECT_EQ(QCoro::waitFor(rig.lock.unlockApp(c.typed)), c.opens);
        EXPECT_EQ(rig.lock.isLocked(), c.stillLocked);
        if (c.after == After::unchanged) {
            EXPECT_EQ(rig.appItem(), c.stored);
        } else {
            const QByteArray now = rig.appItem().value_or(QByteArray());
            EXPECT_TRUE(now.startsWith("$argon2id$v=19$m=8,t=1,p=1$")) << now.toStdString();
            EXPECT_EQ(checkPassword(now, kPassword, PasswordHashCost::minimum()), PasswordCheck::match);
            // Upgraded once: the next unlock finds the current form and leaves it alone.
            EXPECT_TRUE(QCoro::waitFor(rig.lock.unlockApp(kPassword)));
            EXPECT_EQ(rig.appItem(), now);
        }
    }
}

TEST(AppLockTest, AKeychainReadErrorCountsAsNoPassword)
{
    Rig rig;
    rig.keychain.put(kAppItem, QString(), argon2(kPassword));
    rig.keychain.failWith(MemoryKeychainStore::Operation::Read,
                          KeychainResult::failure(KeychainError::Unavailable, QStringLiteral("No keychain answered.")));
    rig.lock.setLocked(LockScope::app, true);
    EXPECT_TRUE(QCoro::waitFor(rig.lock.unlockApp(QStringLiteral("wrong"))));
    EXPECT_TRUE(rig.lock.isLocked());
}

struct StartCase {
    const char *name;
    QVariantMap defaults;
    QMap<QString, QByteArray> keychain; // key -> stored
    bool readFails = false;
    QVariantMap defaultsAfter;
    QMap<QString, QByteArray> keychainAfter;
    bool appLocked, policyLocked, settingsLocked;
};

TEST(AppLockTest, StartMigratesHashesFromSettingsAndSetsTheFlags)
{
    const QByteArray legacyA = legacyPasswordHash(QStringLiteral("alpha"));
    const QByteArray legacyB = legacyPasswordHash(QStringLiteral("bravo"));
    const QByteArray current = argon2(QStringLiteral("charlie"));
    const StartCase cases[] = {
        {"nothing anywhere", {{"autoLockOnLaunch", true}}, {}, false, {{"autoLockOnLaunch", true}}, {},
         false, false, false},
        {"every scope moved, settings key removed", {{"applock_hash", legacyA}, {"policylock_hash", legacyA},
         {"settingslock_hash", legacyB}, {"pauselock_hash", legacyB}}, {}, false, {},
         {{"applock_hash", legacyA}, {"policylock_hash", legacyA}, {"settingslock_hash", legacyB},
          {"pauselock_hash", legacyB}}, false, true, true},
        {"keychain item is not overwritten", {{"policylock_hash", legacyA}}, {{"policylock_hash", current}},
         false, {}, {{"policylock_hash", current}}, false, true, false},
        {"auto-lock with an app password", {{"autoLockOnLaunch", true}}, {{"applock_hash", current}}, false,
         {{"autoLockOnLaunch", true}}, {{"applock_hash", current}}, true, false, false},
        {"app password without auto-lock", {}, {{"applock_hash", current}}, false, {},
         {{"applock_hash", current}}, false, false, false},
        {"a value that is not text stays", {{"settingslock_hash", 42}}, {}, false, {{"settingslock_hash", 42}},
         {}, false, false, false},
        {"unreadable keychain keeps the only copy", {{"applock_hash", legacyA}}, {}, true,
         {{"applock_hash", legacyA}}, {}, false, false, false},
        {"a corrupt item locks nothing", {{"autoLockOnLaunch", true}},
         {{"applock_hash", "garbage"}, {"settingslock_hash", ""}}, false, {{"autoLockOnLaunch", true}},
         {{"applock_hash", "garbage"}, {"settingslock_hash", ""}}, false, false, false},
    };
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        for (auto it = c.defaults.begin(); it != c.defaults.end(); ++it)
            rig.defaults.setValue(it.key(), it.value().typeId() == QMetaType::QByteArray
                                                ? QVariant(QString::fromLatin1(it.value().toByteArray()))
                                                : it.value());
        for (auto it = c.keychain.begin(); it != c.keychain.end(); ++it)
            rig.keychain.put(kBase + "." + it.key(), QString(), it.value());
        if (c.readFails)
            rig.keychain.failWith(MemoryKeychainStore::Operation::Read,
                                  KeychainResult::failure(KeychainError::Unavailable, QStringLiteral("Locked.")));

        QCoro::waitFor(rig.lock.start());

        QStringList keysAfter = rig.defaults.storedValues().keys();
        EXPECT_EQ(keysAfter, c.defaultsAfter.keys());
        EXPECT_EQ(rig.keychain.itemCount(), c.keychainAfter.size());
        for (auto it = c.keychainAfter.begin(); it != c.keychainAfter.end(); ++it)
            EXPECT_EQ(rig.keychain.stored(kBase + "." + it.key(), QString()), it.value()) << it.key().toStdString();
        EXPECT_EQ(rig.lock.isLocked(), c.appLocked);
        EXPECT_EQ(rig.lock.policyLocked(), c.policyLocked);
        EXPECT_EQ(rig.lock.settingsLocked(), c.settingsLocked);
    }
}

struct ChangeCase {
    const char *name;
    std::optional<QString> existing;
    QString current, fresh, confirmation;
    PasswordChange expected;
};

TEST(AppLockTest, ChangePasswordChecksInOrderAndStoresASaltedHash)
{
    const QString three = QStringLiteral("abc");
    // Four code points, three characters on screen: "e" + combining acute, then "fg".
    const QString threeOnScreen = QStringLiteral("e\u0301fg");
    const ChangeCase cases[] = {
        {"mismatch reported before length", kPassword, kPassword, three, "abd", {false, LockTexts::mismatch}},
        {"too short even with the right current", kPassword, kPassword, three, three, {false, LockTexts::tooShort}},
        {"length counts what the user sees", std::nullopt, "", threeOnScreen, threeOnScreen,
         {false, LockTexts::tooShort}},
        {"wrong current", kPassword, "guess", "new-pass", "new-pass", {false, LockTexts::wrongCurrent}},
        {"first password needs no current", std::nullopt, "", "new-pass", "new-pass", {true, LockTexts::changed}},
        {"right current, legacy form", kPassword, kPassword, "new-pass", "new-pass", {true, LockTexts::changed}},
    };
    for (const ChangeCase &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const QString item = kBase + ".policylock_hash";
        if (c.existing)
            rig.keychain.put(item, QString(), legacyPasswordHash(*c.existing));
        rig.lock.setLocked(LockScope::policy, true);
        const std::optional<QByteArray> before = rig.keychain.stored(item, QString());

        EXPECT_EQ(QCoro::waitFor(rig.lock.changePassword(LockScope::policy, c.current, c.fresh, c.confirmation)),
                  c.expected);
        EXPECT_EQ(rig.lock.policyLocked(), !c.expected.done);
        if (!c.expected.done) {
            EXPECT_EQ(rig.keychain.stored(item, QString()), before);
            continue;
        }
        const QByteArray stored = rig.keychain.stored(item, QString()).value_or(QByteArray());
        EXPECT_EQ(checkPassword(stored, c.fresh, PasswordHashCost::minimum()), PasswordCheck::match);
        EXPECT_EQ(checkPassword(stored, c.current, PasswordHashCost::minimum()), PasswordCheck::mismatch);
    }
}

TEST(AppLockTest, TwoScopesWithOnePasswordKeepSeparateSaltedItems)
{
    Rig rig;
    const QString pw = QStringLiteral("same-pass");
    EXPECT_TRUE(QCoro::waitFor(rig.lock.changePassword(LockScope::app, "", pw, pw)).done);
    EXPECT_TRUE(QCoro::waitFor(rig.lock.changePassword(LockScope::pause, "", pw, pw)).done);
    const auto app = rig.keychain.stored(kAppItem, QString());
    const auto pause = rig.keychain.stored(kBase + ".pauselock_hash", QString());
    ASSERT_TRUE(app && pause);
    EXPECT_NE(*app, *pause);
    EXPECT_EQ(rig.keychain.itemCount(), 2);
    EXPECT_TRUE(QCoro::waitFor(rig.lock.verify(LockScope::pause, pw)));
    EXPECT_FALSE(QCoro::waitFor(rig.lock.verify(LockScope::pause, QStringLiteral("other"))));
}

TEST(AppLockTest, RemovePasswordNeedsTheCurrentOne)
{
    Rig rig;
    const QString item = kBase + ".settingslock_hash";
    rig.keychain.put(item, QString(), legacyPasswordHash(kPassword));
    rig.lock.setLocked(LockScope::settings, true);

    EXPECT_EQ(QCoro::waitFor(rig.lock.removePassword(LockScope::settings, QStringLiteral("wrong"))),
              (PasswordChange{false, LockTexts::wrongCurrent}));
    EXPECT_TRUE(rig.keychain.stored(item, QString()));
    EXPECT_TRUE(rig.lock.settingsLocked());

    EXPECT_EQ(QCoro::waitFor(rig.lock.removePassword(LockScope::settings, kPassword)),
              (PasswordChange{true, LockTexts::removed}));
    EXPECT_FALSE(rig.keychain.stored(item, QString()));
    EXPECT_FALSE(rig.lock.settingsLocked());
}

TEST(AppLockTest, AFailedKeychainWriteIsReportedAndChangesNothing)
{
    Rig rig;
    rig.lock.setLocked(LockScope::app, true);
    rig.keychain.failWith(MemoryKeychainStore::Operation::Write,
                          KeychainResult::failure(KeychainError::AccessDenied, QStringLiteral("The keychain refused.")));
    EXPECT_EQ(QCoro::waitFor(rig.lock.changePassword(LockScope::app, "", kPassword, kPassword)),
              (PasswordChange{false, QStringLiteral("The keychain refused.")}));
    EXPECT_TRUE(rig.lock.isLocked());
    EXPECT_EQ(rig.keychain.itemCount(), 0);
}

} // namespace
