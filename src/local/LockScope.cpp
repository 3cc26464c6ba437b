#include "local/LockScope.h"

namespace vesk {

QLatin1String lockScopeKey(LockScope scope)
{
    switch (scope) {
    case LockScope::app: return QLatin1String("applock_hash");
    case LockScope::policy: return QLatin1String("policylock_hash");
    case LockScope::settings: return QLatin1String("settingslock_hash");
    case LockScope::pause: return QLatin1String("pauselock_hash");
    }
    return QLatin1String("applock_hash");
}

QString lockScopeDescription(LockScope scope)
{
    switch (scope) {
    case LockScope::app:
        return QStringLiteral("Enter the app password to unlock management features.");
    case LockScope::policy:
        return QStringLiteral("Requires a password to create, edit, or delete policies. Prevents end users from "
                              "modifying enforcement rules on kiosk machines.");
    case LockScope::settings:
        return QStringLiteral("Lock Settings tabs behind a password. The Advanced tab remains accessible for "
                              "password management.");
    case LockScope::pause:
        return QStringLiteral("Asks for a password before enforcement can be paused from the menu bar or the "
                              "Enforcement menu.");
    }
    return {};
}

QLatin1String lockScopeName(LockScope scope)
{
    switch (scope) {
    case LockScope::app: return QLatin1String("app");
    case LockScope::policy: return QLatin1String("policy");
    case LockScope::settings: return QLatin1String("settings");
    case LockScope::pause: return QLatin1String("pause");
    }
    return QLatin1String("app");
}

} // namespace vesk
