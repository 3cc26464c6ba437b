#include "console/ConsoleWindow.h"

#include "console/AlertsPage.h"
#include "console/BatchSheet.h"
#include "console/ConsoleTexts.h"
#include "console/DashboardPage.h"
#include "console/FleetManagementPage.h"
#include "console/FolderCleanupPage.h"
#include "console/NetworkSharesPage.h"
#include "console/InstalledAppsPage.h"
#include "console/MachinePage.h"
#include "console/PolicyManagerPage.h"
#include "console/PolicySummary.h"
#include "console/SettingsPage.h"
#include "console/SoftwareUpdatesPage.h"
#include "console/TelemetrySeries.h"
#include "console/TextListPage.h"
#include "local/AppLock.h"
#include "monitor/FleetAppDirectory.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "policy/PolicyEngine.h"
#include "settings/FleetSettingsStore.h"
#include "updates/UpdateService.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace vesk {

namespace {
constexpr int kScreenRole = Qt::UserRole + 1;
} // namespace

const QList<ConsoleScreen> &ConsoleWindow::builtScreens()
{
    static const QList<ConsoleScreen> built{ConsoleScreen::dashboard,      ConsoleScreen::alerts,
                                            ConsoleScreen::policies,       ConsoleScreen::policyManager,
                                            ConsoleScreen::enforcementLog, ConsoleScreen::fleetManagement,
                                            ConsoleScreen::settings,       ConsoleScreen::softwareUpdates,
                                            ConsoleScreen::installedApps,  ConsoleScreen::folderCleanup,
                                            ConsoleScreen::networkShares};
    return built;
}

ConsoleWindow::ConsoleWindow(const ConsoleContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_directory(context.fleet, context.thisSerial)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(tr("Vesk Warden"));
    resize(1100, 720);

    m_stack = new QStackedWidget;
    m_emptyPage = textPage(m_emptyText, "emptyPage");
    m_emptyText->setText(ConsoleTexts::nothingSelected);
    m_notFoundPage = textPage(m_notFoundText, "notFoundPage");
    m_notFoundText->setText(QStringLiteral("<h2>%1</h2>%2").arg(ConsoleTexts::machineNotFound,
                                                               ConsoleTexts::machineGone));
    m_lockPage = buildLockPage();
    m_dashboard = new DashboardPage(m_context);
    m_alertsPage = new AlertsPage(m_context);
    m_settings = new SettingsPage(m_context);
    connect(m_alertsPage, &AlertsPage::openMachine, this, &ConsoleWindow::showMachine);
    const PolicyEngine *engine = m_context.policy;
    m_policies = new TextListPage(screenInfo(ConsoleScreen::policies).title, ConsoleTexts::noPolicy, [engine]() {
        return PolicySummary::lines(engine ? engine->activePolicy() : std::nullopt);
    });
    m_policyManager = new PolicyManagerPage(m_context.fleet, m_context.lock, m_directory.list());
    m_enforcementLog =
        new TextListPage(screenInfo(ConsoleScreen::enforcementLog).title, ConsoleTexts::noEnforcement, [engine]() {
            return engine ? PolicySummary::logRows(engine->log()) : QStringList();
        });
    m_fleetManagement = new FleetManagementPage(m_context.defaults);
    if (engine) {
        connect(engine, &PolicyEngine::changed, m_policies, &TextListPage::refresh);
        connect(engine, &PolicyEngine::changed, m_enforcementLog, &TextListPage::refresh);
    }
    FleetAppDirectory *appDirectory = m_context.appDirectory;
    const DefaultsStore *defaults = &m_context.defaults;
    InstalledAppsModel::Scan scan;
    if (appDirectory) {
        // The copies the update service counts: the scope chosen under Fleet Management.
        scan = [appDirectory, defaults]() {
            const auto scope =
                UpdateSearchScopes::fromRawValue(defaults->stringValue(FleetSettingsKeys::updateSearchScope));
            return appDirectory->familyApps(scope.value_or(UpdateSearchScope::entireMachine) ==
                                                    UpdateSearchScope::applicationsFolder
                                                ? InstalledAppsScope::applicationsFolder
                                                : InstalledAppsScope::entireMachine);
        };
    }
    m_installedApps = new InstalledAppsModel(std::move(scan), this);
    m_softwareUpdates = new SoftwareUpdatesModel(*m_installedApps, m_context.updateCommands, m_context.defaults, this);
    m_installedAppsPage = new InstalledAppsPage(*m_installedApps);
    m_softwareUpdatesPage = new SoftwareUpdatesPage(*m_softwareUpdates);
    if (const UpdateService *updates = m_context.updates) {
        const auto feed = [this, updates]() { m_softwareUpdates->setFacts(SoftwareUpdateFacts::gather(updates)); };
        connect(updates, &UpdateService::changed, m_softwareUpdates, feed);
        feed();
    }
    if (engine) {
        const auto feed = [this, engine]() {
            const std::optional<DevicePolicy> &active = engine->activePolicy();
            m_softwareUpdates->setPolicy(active ? std::optional(active->updatePolicy) : std::nullopt);
        };
        connect(engine, &PolicyEngine::changed, m_softwareUpdates, feed);
        feed();
    }
    m_stack->addWidget(m_installedAppsPage);
    m_stack->addWidget(m_softwareUpdatesPage);
    for (QWidget *page : {m_emptyPage, m_notFoundPage, m_lockPage, static_cast<QWidget *>(m_dashboard),
                          static_cast<QWidget *>(m_alertsPage), static_cast<QWidget *>(m_settings),
                          static_cast<QWidget *>(m_policies), static_cast<QWidget *>(m_policyManager),
                          static_cast<QWidget *>(m_enforcementLog), static_cast<QWidget *>(m_fleetManagement)})
        m_stack->addWidget(page);

    auto *split = new QSplitter;
    split->addWidget(buildSidebar());
    split->addWidget(m_stack);
    split->setStretchFactor(1, 1);
    split->setSizes({280, 820});
    setCentralWidget(split);

    QToolBar *tools = addToolBar(tr("Console"));
    tools->setObjectName(QStringLiteral("consoleTools"));
    tools->setMovable(false);
    tools->addAction(tr("Refresh"), this, [this]() { m_directory.refresh(); });
    m_batchAction = tools->addAction(ConsoleTexts::batchTitle, this, [this]() { openBatchSheet(); });
    m_lockAction = tools->addAction(QString(), this, &ConsoleWindow::toggleLock);

    connect(&m_directory, &MachineDirectory::changed, this, [this]() {
        refreshMachinesNote();
        markSelectedMachine();
        refreshDetail();
    });
    connect(&m_context.lock, &AppLock::lockStateChanged, this, [this]() {
        rebuildScreens();
        refreshDetail();
    });
    connect(m_settings, &SettingsPage::sidebarChanged, this, [this]() {
        m_directory.filtered().setFocusThisMac(m_context.defaults.boolValue(SidebarKeys::focusThisMac));
        rebuildScreens();
        refreshMachinesNote();
        refreshDetail();
    });
    m_directory.filtered().setFocusThisMac(m_context.defaults.boolValue(SidebarKeys::focusThisMac));
    rebuildScreens();
    refreshMachinesNote();
    refreshDetail();
}

ConsoleWindow::~ConsoleWindow() = default;

void ConsoleWindow::present()
{
    show();
    raise();
    activateWindow();
    m_directory.refresh();
}

QWidget *ConsoleWindow::textPage(QLabel *&label, const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(name));
    auto *layout = new QVBoxLayout(page);
    label = new QLabel;
    label->setObjectName(QLatin1String(name) + QStringLiteral("Text"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
    return page;
}

QWidget *ConsoleWindow::buildLockPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("lockPage"));
    auto *layout = new QVBoxLayout(page);
    layout->addStretch();
    auto *prompt = new QLabel(ConsoleTexts::lockPrompt);
    prompt->setAlignment(Qt::AlignCenter);
    layout->addWidget(prompt);
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("lockPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaximumWidth(320);
    layout->addWidget(m_password, 0, Qt::AlignHCenter);
    auto *button = new QPushButton(ConsoleTexts::unlockAction);
    layout->addWidget(button, 0, Qt::AlignHCenter);
    m_lockError = new QLabel;
    m_lockError->setObjectName(QStringLiteral("lockError"));
    m_lockError->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_lockError);
    layout->addStretch();
    const auto submit = [this]() { unlock(m_password->text()); };
    connect(button, &QPushButton::clicked, this, submit);
    connect(m_password, &QLineEdit::returnPressed, this, submit);
    return page;
}

QWidget *ConsoleWindow::buildSidebar()
{
    auto *sidebar = new QWidget;
    auto *layout = new QVBoxLayout(sidebar);
    m_screens = new QListWidget;
    m_screens->setObjectName(QStringLiteral("screens"));
    m_screens->setMaximumHeight(300);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("machineSearch"));
    m_search->setPlaceholderText(tr("Search machines"));
    m_search->setClearButtonEnabled(true);
    m_machines = new QListView;
    m_machines->setObjectName(QStringLiteral("machines"));
    m_machines->setModel(&m_directory.filtered());
    m_machines->setUniformItemSizes(true); // keeps layout cheap with thousands of rows
    m_machines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_machinesNote = new QLabel;
    m_machinesNote->setObjectName(QStringLiteral("machinesNote"));
    m_machinesNote->setWordWrap(true);
    m_machinesNote->setTextFormat(Qt::PlainText); // it quotes what the server answered
    layout->addWidget(new QLabel(tr("<b>Screens</b>")));
    layout->addWidget(m_screens);
    layout->addWidget(new QLabel(tr("<b>Machines</b>")));
    layout->addWidget(m_search);
    layout->addWidget(m_machinesNote);
    layout->addWidget(m_machines, 1);

    connect(m_screens, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        showScreen(static_cast<ConsoleScreen>(item->data(kScreenRole).toInt()));
    });
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_directory.filtered().setSearchText(text);
        refreshMachinesNote();
        markSelectedMachine();
    });
    connect(m_machines, &QListView::clicked, this, [this](const QModelIndex &index) {
        showMachine(index.data(MachineListModel::SerialRole).toString());
    });
    return sidebar;
}

QList<ConsoleScreen> ConsoleWindow::sidebarScreens() const
{
    return visibleScreens(m_context.defaults, m_context.lock.isLocked(), builtScreens());
}

void ConsoleWindow::rebuildScreens()
{
    const bool locked = m_context.lock.isLocked();
    m_screens->clear();
    for (ConsoleScreen screen : sidebarScreens()) {
        auto *item = new QListWidgetItem(screenInfo(screen).title, m_screens);
        item->setData(kScreenRole, static_cast<int>(screen));
        if (!m_directory.selectedSerial().isEmpty() || m_screen != screen)
            continue;
        item->setSelected(true);
    }
    // The machines and every fleet command are management features.
    m_search->setVisible(!locked);
    m_machines->setVisible(!locked);
    m_machinesNote->setVisible(!locked);
    m_batchAction->setVisible(!locked);
    m_lockAction->setText(locked ? ConsoleTexts::unlockAction : ConsoleTexts::lockAction);
}

void ConsoleWindow::refreshMachinesNote()
{
    QString note = m_directory.errorText();
    if (note.isEmpty() && m_directory.isLoading() && m_directory.list().rowCount() == 0)
        note = ConsoleTexts::loadingMachines;
    if (note.isEmpty() && !m_directory.isLoading())
        note = m_directory.filtered().emptyText();
    m_machinesNote->setText(note);
    m_machinesNote->setHidden(note.isEmpty() || m_context.lock.isLocked());
}

void ConsoleWindow::showScreen(ConsoleScreen screen)
{
    m_screen = screen;
    m_directory.clearSelection();
    m_machines->clearSelection();
    // Shown from code too (the menu, a picture), so the sidebar marks the screen itself.
    for (int row = 0; row < m_screens->count(); ++row)
        m_screens->item(row)->setSelected(m_screens->item(row)->data(kScreenRole).toInt() == static_cast<int>(screen));
    if (screen == ConsoleScreen::alerts)
        m_alertsPage->reloadFleet();
    if (screen == ConsoleScreen::dashboard)
        m_dashboard->refresh();
    if (screen == ConsoleScreen::policyManager)
        m_policyManager->reload();
    if (screen == ConsoleScreen::installedApps || screen == ConsoleScreen::softwareUpdates)
        m_installedApps->load();
    refreshDetail();
}

MachinePage &ConsoleWindow::machinePage()
{
    if (!m_machinePage) {
        m_machinePage = new MachinePage(m_context.fleet, m_context.clock, m_context.thisSerial);
        m_stack->addWidget(m_machinePage);
    }
    return *m_machinePage;
}

// The maintenance screens are built when first shown, like the machine page.
FolderCleanupPage &ConsoleWindow::folderCleanupPage()
{
    if (!m_folderCleanup) {
        m_folderCleanup = new FolderCleanupPage(m_context.retention);
        m_stack->addWidget(m_folderCleanup);
    }
    return *m_folderCleanup;
}

NetworkSharesPage &ConsoleWindow::networkSharesPage()
{
    if (!m_networkShares) {
        m_networkShares = new NetworkSharesPage(m_context.shares);
        m_stack->addWidget(m_networkShares);
    }
    return *m_networkShares;
}

void ConsoleWindow::showMachine(const QString &serial)
{
    m_screen.reset();
    m_screens->clearSelection();
    m_directory.select(serial);
    markSelectedMachine();
    if (const auto machine = m_directory.selectedMachine()) {
        machinePage().showMachine(machine->serial, machine->name,
                                   lastSeenText(machine->lastSeen, m_context.clock.now()));
    }
    refreshDetail();
}

// The open machine's row stays marked however it was opened (a click, an alert's "Show
// Machine", a picture run) and through reloads and searches, as long as it is listed.
void ConsoleWindow::markSelectedMachine()
{
    const int row = m_directory.list().rowOf(m_directory.selectedSerial());
    const QModelIndex index =
        row < 0 ? QModelIndex() : m_directory.filtered().mapFromSource(m_directory.list().index(row));
    if (index.isValid())
        m_machines->setCurrentIndex(index);
    else
        m_machines->clearSelection();
}

void ConsoleWindow::refreshDetail()
{
    const bool locked = m_context.lock.isLocked();
    QWidget *page = m_emptyPage;
    if (!m_directory.selectedSerial().isEmpty()) {
        if (locked)
            page = m_lockPage;
        else if (m_directory.selectionMissing())
            page = m_notFoundPage;
        else
            page = &machinePage();
    } else if (m_screen && sidebarScreens().contains(*m_screen)) {
        switch (*m_screen) {
        case ConsoleScreen::dashboard:
            page = m_dashboard;
            break;
        case ConsoleScreen::alerts:
            page = m_alertsPage;
            break;
        case ConsoleScreen::settings:
            page = m_settings;
            break;
        case ConsoleScreen::policies:
            page = m_policies;
            break;
        case ConsoleScreen::policyManager:
            page = m_policyManager;
            break;
        case ConsoleScreen::enforcementLog:
            page = m_enforcementLog;
            break;
        case ConsoleScreen::fleetManagement:
            page = m_fleetManagement;
            break;
        case ConsoleScreen::folderCleanup:
            page = &folderCleanupPage();
            break;
        case ConsoleScreen::networkShares:
            page = &networkSharesPage();
            break;
        case ConsoleScreen::softwareUpdates:
            page = m_softwareUpdatesPage;
            break;
        case ConsoleScreen::installedApps:
            page = m_installedAppsPage;
            break;
        default:
            break;
        }
    } else if (m_screen && locked) {
        page = m_lockPage;
    }
    m_stack->setCurrentWidget(page);
}

QWidget *ConsoleWindow::currentPage() const
{
    return m_stack->currentWidget();
}

QString ConsoleWindow::detailName() const
{
    QWidget *page = m_stack->currentWidget();
    if (page == m_machinePage)
        return m_directory.selectedSerial();
    if (page == m_emptyPage)
        return ConsoleTexts::nothingSelected;
    if (page == m_notFoundPage)
        return ConsoleTexts::machineNotFound;
    if (page == m_lockPage)
        return ConsoleTexts::lockPrompt;
    return m_screen ? screenInfo(*m_screen).title : QString();
}

BatchSheet *ConsoleWindow::openBatchSheet()
{
    if (m_context.lock.isLocked())
        return nullptr;
    if (!m_batch) {
        m_batch = new BatchSheet(m_context.fleet, m_directory.list(), this);
        m_batch->setAttribute(Qt::WA_DeleteOnClose);
        offerBatchApps();
    }
    m_batch->show();
    m_batch->raise();
    return m_batch;
}

QCoro::Task<> ConsoleWindow::unlock(QString password)
{
    QPointer<ConsoleWindow> self(this);
    const bool opened = co_await m_context.lock.unlockApp(std::move(password));
    if (!self)
        co_return;
    m_password->clear();
    m_lockError->setText(opened ? QString() : ConsoleTexts::wrongPassword);
    if (opened) {
        // Opening the app lock when no password is set leaves the flag as it was.
        m_context.lock.setLocked(LockScope::app, false);
    }
}

void ConsoleWindow::toggleLock()
{
    if (m_context.lock.isLocked()) {
        m_screen.reset();
        refreshDetail();
        m_stack->setCurrentWidget(m_lockPage);
        m_password->setFocus();
        return;
    }
    if (m_batch)
        m_batch->close();
    m_context.lock.setLocked(LockScope::app, true);
}

QCoro::Task<> ConsoleWindow::offerBatchApps()
{
    if (!m_context.appDirectory)
        co_return;
    QPointer<ConsoleWindow> self(this);
    QList<AppRef> apps = co_await m_context.appDirectory->allApplications();
    if (self && m_batch)
        m_batch->apps().setApps(std::move(apps));
}

} // namespace vesk
