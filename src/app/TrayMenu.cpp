#include "app/TrayMenu.h"

#include "app/VeskWardenApp.h"

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

} // namespace vesk
