#include "console/AlertsPage.h"

#include "alerts/AlertService.h"

#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vesk {

AlertsPage::AlertsPage(const ConsoleContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_model(context.fleet), m_tabs(new QTabWidget)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    m_active = addTab(tr("Active"), "alertsActive");
    m_history = addTab(tr("History"), "alertsHistory");
    m_fleet = addTab(tr("Fleet"), "alertsFleet");
    connect(&m_model, &AlertsModel::changed, this, &AlertsPage::refresh);
    if (const AlertService *alerts = m_context.alerts) {
        const auto feed = [this, alerts]() { m_model.setLocal(alerts->activeAlerts(), alerts->alertHistory()); };
        connect(alerts, &AlertService::alertsChanged, this, feed);
        feed();
    }
    refresh();
}

void AlertsPage::reloadFleet()
{
    m_model.loadFleet();
}

AlertsPage::Tab AlertsPage::addTab(const QString &title, const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(name));
    auto *layout = new QVBoxLayout(page);
    Tab tab{new QListWidget, new QLabel};
    tab.empty->setAlignment(Qt::AlignCenter);
    tab.empty->setWordWrap(true);
    tab.empty->setTextFormat(Qt::RichText);
    tab.empty->setObjectName(QLatin1String(name) + QStringLiteral("Empty"));
    layout->addWidget(tab.empty);
    layout->addWidget(tab.rows);
    m_tabs->addTab(page, title);
    return tab;
}

void AlertsPage::showTab(const Tab &tab, const AlertTab &content)
{
    tab.rows->clear();
    tab.rows->addItems(content.rows);
    tab.rows->setVisible(!content.rows.isEmpty());
    // Escaped: a failure quotes what the server answered, which is never markup to render.
    QString text = content.emptyTitle.toHtmlEscaped();
    if (!content.emptyDetail.isEmpty())
        text = QStringLiteral("<b>%1</b><br>%2").arg(content.emptyTitle.toHtmlEscaped(),
                                                     content.emptyDetail.toHtmlEscaped());
    tab.empty->setText(text);
    tab.empty->setVisible(!text.isEmpty());
}

void AlertsPage::refresh()
{
    showTab(m_active, m_model.active());
    showTab(m_history, m_model.history());
    showTab(m_fleet, m_model.fleet());
}

} // namespace vesk
