#pragma once

#include <QMainWindow>

class QLabel;

namespace vesk {

class AgentStatusModel;

// The agent's window until the console takes its place: the services, the pairing with the
// tenant's fleet and the last heartbeat. Closing it hides it; the agent keeps running.
class AgentWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit AgentWindow(AgentStatusModel &status, QWidget *parent = nullptr);

    // Shows the window, in front, and asks for the pairing state again.
    void present();

private:
    void refresh();

    AgentStatusModel &m_status;
    QLabel *m_services;
    QLabel *m_pairing;
    QLabel *m_heartbeat;
};

} // namespace vesk
