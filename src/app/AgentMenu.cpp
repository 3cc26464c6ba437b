#include "app/AgentMenu.h"

#include "app/AgentStatusModel.h"
#include "app/AgentWindow.h"
#include "app/PauseMenu.h"
#include "app/VeskWardenApp.h"

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

void AgentMenu::refresh()
{
    const AgentStatus &status = m_status.status();
    m_statusLine->setText(status.summary());
    m_startServices->setVisible(!status.servicesRunning);
}

} // namespace vesk
