#include "app/TrayMenu.h"

#include "app/AgentMenu.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

namespace vesk {

bool TrayMenu::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TrayMenu::TrayMenu(AgentMenu &menu, QObject *parent) : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    m_icon->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_icon->setToolTip(tr("Vesk Warden"));
    m_icon->setContextMenu(menu.menu());
    m_icon->show();
}

} // namespace vesk
