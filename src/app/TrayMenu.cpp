#include "app/TrayMenu.h"

#include "app/VeskWardenApp.h"
#include "policy/PolicyEngine.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

namespace vesk {

bool TrayMenu::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TrayMenu::TrayMenu(VeskWardenApp &app, QObject *parent)
    : QObject(parent), m_app(app), m_menu(new QMenu()), m_icon(new QSystemTrayIcon(this))
{
    m_alertSummary = m_menu->addAction(tr("All systems are operating normally."));
    m_alertSummary->setEnabled(false);
    m_menu->addSeparator();
    m_startServices = m_menu->addAction(tr("Start Services"), this, [this]() { m_app.startServices(); });
    m_menu->addAction(tr("Open Vesk Warden"), this, &TrayMenu::openConsoleRequested);
    m_menu->addAction(tr("Restart Services"), this, [this]() { m_app.restartServices(); });
    m_menu->addSeparator();
    m_menu->addAction(tr("Quit Vesk Warden"), this, &TrayMenu::quitRequested);

    m_icon->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_icon->setToolTip(tr("Vesk Warden"));
    m_icon->setContextMenu(m_menu);
    connect(&m_app, &VeskWardenApp::servicesStartedChanged, this, &TrayMenu::refresh);
    refresh();
    m_icon->show();
}

TrayMenu::~TrayMenu()
{
    delete m_menu;
}

void TrayMenu::refresh()
{
    m_startServices->setVisible(!m_app.servicesStarted());
}

void TrayMenu::attachPolicyEngine(PolicyEngine &engine)
{
    m_policyEngine = &engine;
    m_pauseState = new QAction(this);
    m_pauseState->setEnabled(false);
    m_resumeEnforcement = new QAction(tr("Resume Enforcement"), this);
    connect(m_resumeEnforcement, &QAction::triggered, this, [this]() { m_policyEngine->resumeEnforcement(); });
    m_pauseMenu = new QMenu(tr("Pause Enforcement"), m_menu);
    m_menu->insertAction(m_startServices, m_pauseState);
    m_menu->insertAction(m_startServices, m_resumeEnforcement);
    m_menu->insertMenu(m_startServices, m_pauseMenu);
    // The durations setting may change while the agent runs; the remaining time always does.
    connect(m_menu, &QMenu::aboutToShow, this, [this]() {
        rebuildPauseDurations();
        refreshPause();
    });
    connect(&engine, &PolicyEngine::changed, this, &TrayMenu::refreshPause);
    rebuildPauseDurations();
    refreshPause();
}

void TrayMenu::rebuildPauseDurations()
{
    m_pauseMenu->clear();
    for (const int minutes : m_policyEngine->pauseDurations()) {
        const int hours = minutes / 60;
        const QString label = minutes % 60 != 0 ? (minutes == 1 ? tr("1 minute") : tr("%1 minutes").arg(minutes))
                              : hours == 1      ? tr("1 hour")
                                                : tr("%1 hours").arg(hours);
        m_pauseMenu->addAction(label, this, [this, minutes]() { m_policyEngine->pauseEnforcement(minutes); });
    }
    m_pauseMenu->addAction(tr("Until Resumed"), this, [this]() { m_policyEngine->pauseEnforcement(std::nullopt); });
}

void TrayMenu::refreshPause()
{
    const bool paused = m_policyEngine->isPaused();
    const std::optional<QString> remaining = m_policyEngine->pauseRemainingText();
    m_pauseState->setText(remaining ? tr("Paused — resumes in ") + *remaining : tr("Enforcement paused"));
    m_pauseState->setVisible(paused);
    m_resumeEnforcement->setVisible(paused);
    m_pauseMenu->menuAction()->setVisible(!paused);
}

} // namespace vesk
