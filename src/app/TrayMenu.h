#pragma once

#include <QObject>

class QSystemTrayIcon;

namespace vesk {

class AgentMenu;
struct AgentStatus;

// The menu-bar presence: the agent's menu behind an icon. Only built where the desktop has
// a tray; the agent runs the same without one.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    explicit TrayMenu(AgentMenu &menu, QObject *parent = nullptr);

    static bool isAvailable();

private:
    void showStatus(const AgentStatus &status);

    AgentMenu &m_menu;
    QSystemTrayIcon *m_icon;
};

} // namespace vesk
