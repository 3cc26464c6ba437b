#pragma once

#include "local/SettingsSnapshot.h"

#include <array>

namespace vesk::preference_fields {

// What an export writes for a preference this machine never set.
enum class WhenUnset { omit, falseOrZero, isTrue };

// One transferable preference: its name in the file, its user-defaults key, its member.
template <class T>
struct Field {
    const char *name;
    const char *defaultsKey;
    std::optional<T> TransferPreferences::*member;
    WhenUnset whenUnset;
};

using P = TransferPreferences;

// The console's nine switches are exported only when set; the two service switches count as
// on while never written, as the settings store reads them.
inline constexpr std::array<Field<bool>, 15> bools{{
    {"lowDataMode", "lowDataMode", &P::lowDataMode, WhenUnset::falseOrZero},
    {"workflowShowSoftware", "workflow_showSoftware", &P::workflowShowSoftware, WhenUnset::omit},
    {"workflowShowUpdates", "workflow_showUpdates", &P::workflowShowUpdates, WhenUnset::omit},
    {"workflowShowInstalledApps", "workflow_showInstalledApps", &P::workflowShowInstalledApps, WhenUnset::omit},
    {"workflowShowPolicies", "workflow_showPolicies", &P::workflowShowPolicies, WhenUnset::omit},
    {"workflowShowPolicyManager", "workflow_showPolicyManager", &P::workflowShowPolicyManager, WhenUnset::omit},
    {"workflowShowEnforcementLog", "workflow_showEnforcementLog", &P::workflowShowEnforcementLog, WhenUnset::omit},
    {"workflowShowFolderCleanup", "workflow_showFolderCleanup", &P::workflowShowFolderCleanup, WhenUnset::omit},
    {"workflowShowNetworkShares", "workflow_showNetworkShares", &P::workflowShowNetworkShares, WhenUnset::omit},
    {"workflowShowFleetManagement", "workflow_showFleetManagement", &P::workflowShowFleetManagement, WhenUnset::omit},
    {"hideWindowAtLaunch", "warden_hideWindowAtLaunch", &P::hideWindowAtLaunch, WhenUnset::falseOrZero},
    {"autoStartServices", "warden_autoStartServices", &P::autoStartServices, WhenUnset::isTrue},
    {"autoRestartServices", "warden_autoRestartServices", &P::autoRestartServices, WhenUnset::isTrue},
    {"scheduledRestartEnabled", "scheduledRestartEnabled", &P::scheduledRestartEnabled, WhenUnset::falseOrZero},
    {"autoLockOnLaunch", "autoLockOnLaunch", &P::autoLockOnLaunch, WhenUnset::falseOrZero},
}};

inline constexpr std::array<Field<QString>, 3> strings{{
    // An alert scope never chosen is exported as "photographer" (see the service).
    {"alertScope", "warden_alert_scope", &P::alertScope, WhenUnset::omit},
    {"photographer", "warden_photographer", &P::photographer, WhenUnset::omit},
    {"eventcode", "warden_eventcode", &P::eventcode, WhenUnset::omit},
}};

inline constexpr std::array<Field<int>, 3> integers{{
    {"scheduledRestartHour", "scheduledRestartHour", &P::scheduledRestartHour, WhenUnset::falseOrZero},
    {"scheduledRestartMinute", "scheduledRestartMinute", &P::scheduledRestartMinute, WhenUnset::falseOrZero},
    {"scheduledRestartDays", "scheduledRestartDays", &P::scheduledRestartDays, WhenUnset::falseOrZero},
}};

inline constexpr Field<QMap<QString, QString>> pinnedVersions{"pinnedVersions", "pinnedVersions",
                                                             &P::pinnedVersions, WhenUnset::omit};

} // namespace vesk::preference_fields
