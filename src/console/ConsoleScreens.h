#pragma once

#include <QList>
#include <QString>

namespace vesk {

class DefaultsStore;

enum class ConsoleScreen {
    dashboard,
    alerts,
    softwareUpdates,
    installedApps,
    policies,
    policyManager,
    enforcementLog,
    folderCleanup,
    networkShares,
    fleetManagement,
    settings,
};

// One screen of the sidebar: its title and the user default that can hide it (none for the
// three that are always shown).
struct ScreenInfo {
    ConsoleScreen screen;
    QString title;
    QString visibilityKey; // the screens that have one are hidden by the management lock too
};

// Every screen in sidebar order.
const QList<ScreenInfo> &consoleScreens();
const ScreenInfo &screenInfo(ConsoleScreen screen);

// The user defaults of the sidebar, read where the settings screen writes them.
namespace SidebarKeys {
inline const QString software = QStringLiteral("workflow_showSoftware");
inline const QString focusThisMac = QStringLiteral("workflow_focusThisMac");
} // namespace SidebarKeys

// The screens the sidebar lists, in order: of `built`, those the visibility keys leave shown
// ("workflow_showSoftware" off hides both software screens), without the management screens
// while `locked`. Dashboard, Alerts and Settings are always listed.
QList<ConsoleScreen> visibleScreens(const DefaultsStore &defaults, bool locked, const QList<ConsoleScreen> &built);

// A visibility key's value: true unless stored false.
bool screenShown(const DefaultsStore &defaults, const QString &key);

} // namespace vesk
