#include "app/AgentWindow.h"

#include "app/AgentStatusModel.h"

#include <QFormLayout>
#include <QLabel>
#include <QWidget>

namespace vesk {

AgentWindow::AgentWindow(AgentStatusModel &status, QWidget *parent)
    : QMainWindow(parent), m_status(status), m_services(new QLabel), m_pairing(new QLabel), m_heartbeat(new QLabel)
{
    setWindowTitle(tr("Vesk Warden"));
    // A menu-bar agent: its window closing is never a reason to quit.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_services->setObjectName(QStringLiteral("services"));
    m_pairing->setObjectName(QStringLiteral("pairing"));
    m_heartbeat->setObjectName(QStringLiteral("heartbeat"));
    m_pairing->setWordWrap(true);
    m_heartbeat->setWordWrap(true);

    auto *central = new QWidget(this);
    auto *form = new QFormLayout(central);
    form->addRow(tr("Services:"), m_services);
    form->addRow(tr("Fleet:"), m_pairing);
    form->addRow(tr("Last heartbeat:"), m_heartbeat);
    setCentralWidget(central);
    resize(420, 160);

    connect(&m_status, &AgentStatusModel::changed, this, &AgentWindow::refresh);
    refresh();
}

void AgentWindow::present()
{
    m_status.refreshPairing();
    show();
    raise();
    activateWindow();
}

void AgentWindow::refresh()
{
    const AgentStatus &status = m_status.status();
    m_services->setText(status.servicesText());
    m_pairing->setText(status.pairingText());
    m_heartbeat->setText(status.heartbeatText(m_status.timeZone()));
}

} // namespace vesk
