#include "console/DashboardPage.h"

#include "alerts/AlertService.h"
#include "console/DashboardView.h"
#include "monitor/SystemMonitor.h"
#include "policy/PolicyEngine.h"
#include "updates/UpdateService.h"

#include <QFormLayout>
#include <QLabel>

namespace vesk {

namespace {
QLabel *section(QFormLayout *form, const QString &title, const char *name)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("<b>%1</b>").arg(title), label);
    return label;
}
} // namespace

DashboardPage::DashboardPage(const ConsoleContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    auto *form = new QFormLayout(this);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    m_machine = section(form, tr("This Mac"), "dashboardMachine");
    m_health = section(form, tr("Health"), "dashboardHealth");
    m_apps = section(form, tr("Running apps"), "dashboardApps");
    m_policy = section(form, tr("Policy"), "dashboardPolicy");
    m_updates = section(form, tr("Pending updates"), "dashboardUpdates");
    m_alerts = section(form, tr("Active alerts"), "dashboardAlerts");

    if (m_context.monitor)
        connect(m_context.monitor, &SystemMonitor::updated, this, &DashboardPage::refresh);
    if (m_context.policy)
        connect(m_context.policy, &PolicyEngine::changed, this, &DashboardPage::refresh);
    if (m_context.updates)
        connect(m_context.updates, &UpdateService::changed, this, &DashboardPage::refresh);
    if (m_context.alerts)
        connect(m_context.alerts, &AlertService::alertsChanged, this, &DashboardPage::refresh);
    refresh();
}

void DashboardPage::refresh()
{
    const DashboardView view = DashboardView::from(
        DashboardFacts::gather(m_context.monitor, m_context.policy, m_context.updates, m_context.alerts));
    m_machine->setText(view.machine);
    m_health->setText(view.health.join(QLatin1Char('\n')));
    m_apps->setText(view.apps.join(QLatin1Char('\n')));
    m_policy->setText(view.policy);
    m_updates->setText(view.updates.join(QLatin1Char('\n')));
    m_alerts->setText(view.alerts.join(QLatin1Char('\n')));
}

} // namespace vesk
