#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace vesk {

class AgentStatusModel;
class AppLock;
class AgentWindow;
class PauseMenu;
class PolicyEngine;
class SystemPermissions;
class VeskWardenApp;

// The agent's menu: its status line, the operator's service controls and the way to its
// window. Built apart from the tray icon, so it works (and is tested) where there is no tray.
class AgentMenu : public QObject {
    Q_OBJECT
public:
    AgentMenu(VeskWardenApp &app, AgentStatusModel &status, QObject *parent = nullptr);
    ~AgentMenu() override;

    QMenu *menu() const { return m_menu.get(); }
    AgentStatusModel &statusModel() const { return m_status; }
    QAction *statusAction() const { return m_statusLine; }
    QAction *startAction() const { return m_startServices; }
    QAction *openAction() const { return m_open; }
    // The window, once opened.
    AgentWindow *window() const { return m_window.get(); }

    // Builds the window on first use and brings it to the front.
    void openWindow();
    // "Open" calls this instead of showing the status window: start-up hands it the console.
    void setWindowOpener(std::function<void()> opener) { m_opener = std::move(opener); }
    // Adds the enforcement pause and resume items; a pause asks `pauseLock` for its password.
    void attachPolicyEngine(PolicyEngine &engine, AppLock *pauseLock = nullptr);
    // Adds the permission line: "Permissions: granted", or an item per missing permission
    // that checks again when chosen (its tooltip says what the last check found).
    void attachPermissions(SystemPermissions &permissions);
    // True until a permission check finds one missing.
    bool permissionsGranted() const;
    QList<QAction *> permissionActions() const { return m_permissionActions; }

signals:
    void quitRequested();
    void permissionsChanged();

private:
    void refresh();
    void showPermissions();

    VeskWardenApp &m_app;
    AgentStatusModel &m_status;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<AgentWindow> m_window;
    std::function<void()> m_opener;
    QAction *m_statusLine;
    QAction *m_startServices;
    QAction *m_open;
    PauseMenu *m_pause = nullptr;
    SystemPermissions *m_permissions = nullptr;
    QList<QAction *> m_permissionActions;
};

} // namespace vesk
