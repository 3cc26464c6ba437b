#pragma once

#include <QString>

namespace vesk::ConsoleTexts {

// What the console says, in one place, so screens and tests read the same words.
inline const QString nothingSelected = QStringLiteral("Select an item from the sidebar.");
inline const QString machineNotFound = QStringLiteral("Machine Not Found");
inline const QString machineGone = QStringLiteral("This machine is no longer available.");
inline const QString alwaysVisible =
    QStringLiteral("Dashboard, Alerts, and Settings are always visible. Use these toggles to simplify the interface "
                   "for kiosk or single-purpose deployments.");
inline const QString lockPrompt = QStringLiteral("Enter the app password to unlock management features.");
inline const QString lockAction = QStringLiteral("Lock management features");
inline const QString unlockAction = QStringLiteral("Unlock management features");
inline const QString wrongPassword = QStringLiteral("Incorrect password. Try again.");
inline const QString loadingMachines = QStringLiteral("Loading machines…");
inline const QString machinesFailed = QStringLiteral("Failed to load machines: ");
inline const QString noMachines = QStringLiteral("No machines have reported to the fleet yet.");

inline const QString loadingTelemetry = QStringLiteral("Loading telemetry…");
inline const QString telemetryFailed = QStringLiteral("Failed to load telemetry for ");
inline const QString notEnoughPoints = QStringLiteral("Not enough data points for this range.");
inline const QString lastSeenUnknown = QStringLiteral("Last seen: unknown");
inline const QString lastSeenYesterday = QStringLiteral("Last seen yesterday");

inline const QString restartTitle = QStringLiteral("Restart Computer?");
inline const QString restartNotQueued = QStringLiteral("Error: Command was not queued");
inline const QString notQueued = QStringLiteral("Error: Not queued");
inline const QString batchTitle = QStringLiteral("Send commands to multiple machines");
inline const QString appSearchPlaceholder = QStringLiteral("Search apps or type a bundle ID");

inline const QString noActiveAlerts = QStringLiteral("No Active Alerts");
inline const QString noActiveAlertsDetail = QStringLiteral("All systems are operating normally.");
inline const QString noAlertHistory = QStringLiteral("No Alert History");
inline const QString noAlertHistoryDetail = QStringLiteral("Past alerts will appear here.");
inline const QString loadingFleetAlerts = QStringLiteral("Loading fleet alerts...");
inline const QString noFleetAlerts = QStringLiteral("No alerts reported across the fleet.");
inline const QString fleetAlertsFailed = QStringLiteral("Failed to load fleet alerts: ");
inline const QString handledBy = QStringLiteral("Handled by ");

inline const QString noVeskApps = QStringLiteral("No Vesk apps running");
inline const QString noPolicy = QStringLiteral("No active policy");

inline const QString noPolicySelected = QStringLiteral("No Policy Selected");
inline const QString selectOrCreatePolicy = QStringLiteral("Select a policy or create a new one.");
inline const QString loadingPolicies = QStringLiteral("Loading policies…");
inline const QString policiesFailed = QStringLiteral("Failed to load policies: ");
inline const QString noPolicies = QStringLiteral("No policies yet. Create one with New Policy.");
inline const QString policyLocked = QStringLiteral("Enter the policy password to edit policies.");
inline const QString policySaved = QStringLiteral("Saved ");
inline const QString policySaveFailed = QStringLiteral("Failed to save policy ");
inline const QString policyDeleted = QStringLiteral("Deleted ");
inline const QString deletePolicyFailed = QStringLiteral("Failed to delete policy ");
inline const QString deleteFailedFor = QStringLiteral("Delete failed for ");
inline const QString noEnforcement = QStringLiteral("Enforcement actions will appear here as they occur.");

inline const QString networkScoutLog = QStringLiteral("Network Scout Log");
inline const QString networkScoutTrends = QStringLiteral("Network Scout Trends");
inline const QString noNetworkChanges = QStringLiteral("No network changes in this period.");
inline const QString moreEventsNotShown = QStringLiteral(" more events not shown");
inline const QString noNotes = QStringLiteral("No notes yet. Add one above.");
inline const QString noteSaveFailedFor = QStringLiteral("Failed to save note for ");
inline const QString noteSaveFailed = QStringLiteral("Error: Note save failed: ");
inline const QString noteDeleteFailedLog = QStringLiteral("Failed to delete note");
inline const QString noteDeleteFailed = QStringLiteral("Error: Delete note failed: ");
inline const QString notesFailed = QStringLiteral("Failed to load notes: ");

inline const QString noCleanupRules = QStringLiteral("No cleanup rules yet. Add a folder to keep it from filling the disk.");
inline const QString cleanupAgeTooShort = QStringLiteral("Choose an age of at least 1 hour.");
inline const QString cleanupNameMissing = QStringLiteral("Give the rule a name.");
inline const QString noShares = QStringLiteral("No network shares yet. Add one to keep it mounted on this Mac.");
inline const QString shareAddressMissing = QStringLiteral("Enter the share's address, such as smb://server/share.");
inline const QString shareAddressInvalid = QStringLiteral("Invalid share address");
inline const QString shareSchemeRefused = QStringLiteral("Use an smb://, afp:// or nfs:// address.");
inline const QString shareNameMissing = QStringLiteral("Add the share's name after the server, as in smb://server/share.");
inline const QString sharePasswordNotStored = QStringLiteral("The password could not be stored in the keychain.");
inline const QString fromPolicy = QStringLiteral("From policy");
inline const QString alertAcknowledged = QStringLiteral("Alert acknowledged");
inline const QString acknowledgeFailed = QStringLiteral("Acknowledge failed: ");
inline const QString acknowledgeFailedPlain = QStringLiteral("Failed to acknowledge fleet alert");
inline const QString restartQueuedFor = QStringLiteral("Restart queued for ");
inline const QString restartNotQueuedFor = QStringLiteral("Restart was not queued for ");
inline const QString restartFailedFor = QStringLiteral("Restart failed for ");
inline const QString restartQueueFailedFor = QStringLiteral("Failed to queue restart_app for ");
inline const QString muteFor24Hours = QStringLiteral("Mute for 24 hours");
inline const QString muteUntilRecovery = QStringLiteral("Mute until recovery");
inline const QString muteIndefinitely = QStringLiteral("Mute indefinitely");
inline const QString allAppsLatest = QStringLiteral("All installed apps are running the latest version.");
inline const QString noVeskAppsInstalled = QStringLiteral("No Vesk Apps Installed");
inline const QString readyToInstall = QStringLiteral("Ready to install");
inline const QString adminApprovedOnly = QStringLiteral("Admin Approved Only");
inline QString criticalHeldByPin(const QString &version)
{
    return QStringLiteral("Critical Warden update v") + version +
           QStringLiteral(" is available, but this Mac's version pin is holding it. Move the pin in the admin portal "
                          "to install it.");
}
inline const QString scanningApps = QStringLiteral("Scanning Vesk apps...");
inline const QString noVeskAppsFound = QStringLiteral("No Vesk Apps Found");
inline const QString veskAppsFound = QStringLiteral(" Vesk apps found · ");
inline QString appMatchLimit(int shown, qsizetype count)
{
    return QStringLiteral("Showing first %1 of %2 matches — keep typing to narrow the search.").arg(shown).arg(count);
}
inline const QString selectAllVeskApps = QStringLiteral("Select All Vesk Apps");
inline QString noAppMatch(const QString &text)
{
    return QStringLiteral("No known apps match “") + text + QStringLiteral("” as a bundle ID");
}
inline const QString exactBundleIdHint =
    QStringLiteral("For apps installed on other machines, enter the app's exact bundle ID.");
inline const QString waitingForApps = QStringLiteral("Waiting for this machine to report its installed apps.");
inline const QString availableUpdates = QStringLiteral("Available Updates");
inline const QString allAppsUpToDate = QStringLiteral("All apps are up to date");
inline const QString scheduleUpdate = QStringLiteral("Schedule Update…");
inline const QString pinCurrentVersion = QStringLiteral("Pin Current Version");
inline const QString updateScheduled = QStringLiteral("Update scheduled");
inline const QString quitAndRelaunch = QStringLiteral("This will quit and relaunch ");
inline const QString restartAppAtTime = QStringLiteral("Restart App at Set Time…");

} // namespace vesk::ConsoleTexts
