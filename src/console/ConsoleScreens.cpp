#include "console/ConsoleScreens.h"

#include "platform/DefaultsStore.h"

namespace vesk {

const QList<ScreenInfo> &consoleScreens()
{
    static const QList<ScreenInfo> screens{
        {ConsoleScreen::dashboard, QStringLiteral("Dashboard"), {}},
        {ConsoleScreen::alerts, QStringLiteral("Alerts"), {}},
        {ConsoleScreen::softwareUpdates, QStringLiteral("Software Updates"), QStringLiteral("workflow_showUpdates")},
        {ConsoleScreen::installedApps, QStringLiteral("Installed Apps"), QStringLiteral("workflow_showInstalledApps")},
        {ConsoleScreen::policies, QStringLiteral("Policies"), QStringLiteral("workflow_showPolicies")},
        {ConsoleScreen::policyManager, QStringLiteral("Policy Manager"), QStringLiteral("workflow_showPolicyManager")},
        {ConsoleScreen::enforcementLog, QStringLiteral("Enforcement Log"), QStringLiteral("workflow_showEnforcementLog")},
        {ConsoleScreen::folderCleanup, QStringLiteral("Folder Cleanup"), QStringLiteral("workflow_showFolderCleanup")},
        {ConsoleScreen::networkShares, QStringLiteral("Network Shares"), QStringLiteral("workflow_showNetworkShares")},
        {ConsoleScreen::fleetManagement, QStringLiteral("Fleet Management"),
         QStringLiteral("workflow_showFleetManagement")},
        // Settings stays reachable while locked: the settings lock guards its tabs.
        {ConsoleScreen::settings, QStringLiteral("Settings"), {}},
    };
    return screens;
}

const ScreenInfo &screenInfo(ConsoleScreen screen)
{
    return consoleScreens().at(static_cast<int>(screen));
}

bool screenShown(const DefaultsStore &defaults, const QString &key)
{
    return !defaults.hasObject(key) || defaults.boolValue(key);
}

QList<ConsoleScreen> visibleScreens(const DefaultsStore &defaults, bool locked, const QList<ConsoleScreen> &built)
{
    const bool software = screenShown(defaults, SidebarKeys::software);
    QList<ConsoleScreen> shown;
    for (const ScreenInfo &info : consoleScreens()) {
        if (!built.contains(info.screen))
            continue;
        if (!info.visibilityKey.isEmpty()) {
            if (locked || !screenShown(defaults, info.visibilityKey))
                continue;
            const bool isSoftware =
                info.screen == ConsoleScreen::softwareUpdates || info.screen == ConsoleScreen::installedApps;
            if (isSoftware && !software)
                continue;
        }
        shown.append(info.screen);
    }
    return shown;
}

} // namespace vesk
