#pragma once

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vesk {

class VeskWardenApp;

// The menu-bar presence: the agent's status and the operator's service controls.
// Only built where the desktop has a tray; the agent runs the same without one.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    explicit TrayMenu(VeskWardenApp &app, QObject *parent = nullptr);
    ~TrayMenu() override;

    static bool isAvailable();

signals:
    void quitRequested();
    void openConsoleRequested();

private:
    void refresh();

    VeskWardenApp &m_app;
    QMenu *m_menu;
    QSystemTrayIcon *m_icon;
    QAction *m_alertSummary;
    QAction *m_startServices;
};

} // namespace vesk
