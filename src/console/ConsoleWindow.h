#pragma once

#include "console/ConsoleContext.h"
#include "console/ConsoleScreens.h"
#include "console/MachineDirectory.h"

#include <QMainWindow>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <optional>

class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QStackedWidget;

namespace vesk {

class AlertsPage;
class BatchSheet;
class DashboardPage;
class FleetManagementPage;
class FolderCleanupPage;
class NetworkSharesPage;
class InstalledAppsModel;
class InstalledAppsPage;
class SoftwareUpdatesModel;
class SoftwareUpdatesPage;
class MachinePage;
class PolicyManagerPage;
class SettingsPage;
class TextListPage;

// The console: a sidebar of screens and of the tenant's machines beside the detail area.
// It holds view state only; every line it shows comes from the services or the fleet.
class ConsoleWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ConsoleWindow(const ConsoleContext &context, QWidget *parent = nullptr);
    ~ConsoleWindow() override;

    // Shows the window in front and loads the machine list again.
    void present();

    // The screens this build of the console offers.
    static const QList<ConsoleScreen> &builtScreens();
    QList<ConsoleScreen> sidebarScreens() const;
    void showScreen(ConsoleScreen screen);
    void showMachine(const QString &serial);
    // What the detail area shows now: a screen's title, a machine's serial, or the text of
    // the empty, lock or missing-machine page.
    QString detailName() const;
    QWidget *currentPage() const;

    BatchSheet *openBatchSheet();
    MachineDirectory &directory() { return m_directory; }
    // Built on the first machine shown: a console never used for the fleet loads no charts.
    MachinePage &machinePage();
    AlertsPage &alertsPage() const { return *m_alertsPage; }
    PolicyManagerPage &policyManagerPage() const { return *m_policyManager; }
    SettingsPage &settingsPage() const { return *m_settings; }
    QCoro::Task<> unlock(QString password);
    FolderCleanupPage &folderCleanupPage();
    NetworkSharesPage &networkSharesPage();
    InstalledAppsModel &installedApps() const { return *m_installedApps; }
    SoftwareUpdatesModel &softwareUpdates() const { return *m_softwareUpdates; }

private:
    QWidget *buildSidebar();
    QWidget *textPage(QLabel *&label, const char *name);
    QWidget *buildLockPage();
    void rebuildScreens();
    void refreshMachinesNote();
    void markSelectedMachine();
    void refreshDetail();
    void toggleLock();
    QCoro::Task<> offerBatchApps();

    ConsoleContext m_context;
    MachineDirectory m_directory;
    std::optional<ConsoleScreen> m_screen = ConsoleScreen::dashboard;
    QListWidget *m_screens = nullptr;
    QLineEdit *m_search = nullptr;
    QListView *m_machines = nullptr;
    QLabel *m_machinesNote = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_emptyText = nullptr;
    QWidget *m_emptyPage = nullptr;
    QLabel *m_notFoundText = nullptr;
    QWidget *m_notFoundPage = nullptr;
    QWidget *m_lockPage = nullptr;
    QLineEdit *m_password = nullptr;
    QLabel *m_lockError = nullptr;
    DashboardPage *m_dashboard = nullptr;
    AlertsPage *m_alertsPage = nullptr;
    SettingsPage *m_settings = nullptr;
    TextListPage *m_policies = nullptr;
    PolicyManagerPage *m_policyManager = nullptr;
    TextListPage *m_enforcementLog = nullptr;
    FleetManagementPage *m_fleetManagement = nullptr;
    MachinePage *m_machinePage = nullptr;
    QAction *m_lockAction = nullptr;
    QAction *m_batchAction = nullptr;
    QPointer<BatchSheet> m_batch;
    FolderCleanupPage *m_folderCleanup = nullptr;
    NetworkSharesPage *m_networkShares = nullptr;
    InstalledAppsModel *m_installedApps = nullptr;
    SoftwareUpdatesModel *m_softwareUpdates = nullptr;
    InstalledAppsPage *m_installedAppsPage = nullptr;
    SoftwareUpdatesPage *m_softwareUpdatesPage = nullptr;
};

} // namespace vesk
