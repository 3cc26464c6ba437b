#include "app/AgentMenu.h"

#include "app/AgentStatusModel.h"
#include "app/AgentWindow.h"
#include "app/PauseMenu.h"
#include "app/VeskWardenApp.h"
#include "local/SystemPermissions.h"

#include <QMenu>

namespace vesk {

AgentMenu::AgentMenu(VeskWardenApp &app, AgentStatusModel &status, QObject *parent)
    : QObject(parent), m_app(app), m_status(status), m_menu(std::make_unique<QMenu>())
{
    m_statusLine = m_menu->addAction(QString());
    m_statusLine->setEnabled(false);
    m_menu->addSeparator();
    m_startServices = m_menu->addAction(tr("Start Services"), this, [this]() { m_app.startServices(); });
    m_open = m_menu->addAction(tr("Open Vesk Warden"), this, &AgentMenu::openWindow);
    m_menu->addAction(tr("Restart Services"), this, [this]() { m_app.restartServices(); });
    m_menu->addSeparator();
    m_menu->addAction(tr("Quit Vesk Warden"), this, &AgentMenu::quitRequested);

    // The operator is looking: the pairing may have changed since it was last read.
    connect(m_menu.get(), &QMenu::aboutToShow, &m_status, &AgentStatusModel::refreshPairing);
    connect(&m_status, &AgentStatusModel::changed, this, &AgentMenu::refresh);
    refresh();
}

AgentMenu::~AgentMenu() = default;

void AgentMenu::openWindow()
{
    if (m_opener) {
        m_opener();
        return;
    }
    if (!m_window)
        m_window = std::make_unique<AgentWindow>(m_status);
    m_window->present();
}

void AgentMenu::attachPolicyEngine(PolicyEngine &engine, AppLock *pauseLock)
{
    if (!m_pause)
        m_pause = new PauseMenu(engine, *m_menu, m_startServices, pauseLock, PauseMenu::Prompt::dialogs(), this);
}

void AgentMenu::attachPermissions(SystemPermissions &permissions)
{
    if (m_permissions)
        return;
    m_permissions = &permissions;
    connect(&permissions, &SystemPermissions::changed, this, &AgentMenu::showPermissions);
    showPermissions();
}

bool AgentMenu::permissionsGranted() const
{
    // Before the first check (Full Disk Access is never left open by one) nothing is missing yet.
    if (!m_permissions || m_permissions->fullDiskAccess() == SystemPermissions::Status::unknown)
        return true;
    return m_permissions->allGranted() && !m_permissions->signatureProblem();
}

void AgentMenu::showPermissions()
{
    for (QAction *action : std::as_const(m_permissionActions)) {
        m_menu->removeAction(action);
        action->deleteLater();
    }
    m_permissionActions.clear();
    const SystemPermissions &permissions = *m_permissions;
    const QString detail = tr("App Management: %1\nFull Disk Access: %2")
                               .arg(permissions.appManagementDetail(), permissions.fullDiskAccessDetail());
    for (const QString &line : permissions.menuLines()) {
        auto *action = new QAction(line, this);
        action->setToolTip(detail);
        if (line.startsWith(QLatin1String("Permissions:")))
            action->setEnabled(false);
        else
            connect(action, &QAction::triggered, m_permissions, &SystemPermissions::startRefresh);
        // Above "Open Vesk Warden", as the menu lists it.
        m_menu->insertAction(m_open, action);
        m_permissionActions << action;
    }
    emit permissionsChanged();
}

void AgentMenu::refresh()
{
    const AgentStatus &status = m_status.status();
    m_statusLine->setText(status.summary());
    m_startServices->setVisible(!status.servicesRunning);
}

} // namespace vesk
