#pragma once

#include <QLatin1String>
#include <QString>

#include <array>

namespace vesk {

// The four independent passwords of the console. Each one's password hash lives in the
// keychain under the scope's key.
enum class LockScope {
    app,      // management features of the app
    policy,   // creating, editing and deleting policies
    settings, // the settings tabs (the Advanced tab stays open for password management)
    pause,    // pausing enforcement; asked each time, it has no lock state
};

// In the order the start-up migration walks them.
inline constexpr std::array<LockScope, 4> allLockScopes{LockScope::app, LockScope::policy, LockScope::settings,
                                                        LockScope::pause};

// "applock_hash", "policylock_hash", "settingslock_hash", "pauselock_hash": the keychain
// key of the scope's hash, and the user-defaults key earlier versions kept it under.
QLatin1String lockScopeKey(LockScope scope);
// The console's description of what the scope guards.
QString lockScopeDescription(LockScope scope);
// "app", "policy", ... for log lines.
QLatin1String lockScopeName(LockScope scope);

} // namespace vesk
