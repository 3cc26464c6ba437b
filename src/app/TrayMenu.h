#pragma once

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vesk {

class PolicyEngine;
class VeskWardenApp;

// The menu-bar presence: the agent's status and the operator's service controls.
// Only built where the desktop has a tray; the agent runs the same without one.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    explicit TrayMenu(VeskWardenApp &app, QObject *parent = nullptr);
    ~TrayMenu() override;

    static bool isAvailable();

    // Adds the enforcement pause: its state, pause for each offered duration or until
    // resumed, and resume.
    void attachPolicyEngine(PolicyEngine &engine);

signals:
    void quitRequested();
    void openConsoleRequested();

private:
    void refresh();
    void refreshPause();
    void rebuildPauseDurations();

    VeskWardenApp &m_app;
    QMenu *m_menu;
    QSystemTrayIcon *m_icon;
    QAction *m_alertSummary;
    QAction *m_startServices;
    PolicyEngine *m_policyEngine = nullptr;
    QAction *m_pauseState = nullptr;
    QAction *m_resumeEnforcement = nullptr;
    QMenu *m_pauseMenu = nullptr;
};

} // namespace vesk
