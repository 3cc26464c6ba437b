#include "app/TrayMenu.h"

#include "app/AgentMenu.h"
#include "app/AgentStatusModel.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

namespace vesk {

bool TrayMenu::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TrayMenu::TrayMenu(AgentMenu &menu, QObject *parent)
    : QObject(parent), m_menu(menu), m_icon(new QSystemTrayIcon(this))
{
    m_icon->setContextMenu(menu.menu());
    AgentStatusModel &model = menu.statusModel();
    connect(&model, &AgentStatusModel::changed, this, [this, &model] { showStatus(model.status()); });
    connect(&menu, &AgentMenu::permissionsChanged, this, [this, &model] { showStatus(model.status()); });
    showStatus(model.status());
    m_icon->show();
}

void TrayMenu::showStatus(const AgentStatus &status)
{
    // The icon follows the most severe active alert, and warns while a permission is missing;
    // the tooltip carries the status line.
    QStyle::StandardPixmap pixmap =
        m_menu.permissionsGranted() ? QStyle::SP_DialogApplyButton : QStyle::SP_MessageBoxWarning;
    if (const std::optional<WardenAlert> worst = status.worstAlert()) {
        if (worst->severity == AlertSeverity::critical)
            pixmap = QStyle::SP_MessageBoxCritical;
        else if (worst->severity == AlertSeverity::warning)
            pixmap = QStyle::SP_MessageBoxWarning;
    }
    m_icon->setIcon(QApplication::style()->standardIcon(pixmap));
    m_icon->setToolTip(tr("Vesk Warden") + QStringLiteral("\n") + status.summary());
}

} // namespace vesk
