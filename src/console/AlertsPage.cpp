#include "console/AlertsPage.h"

#include "alerts/AlertService.h"
#include "console/ConsoleTexts.h"
#include "console/LocationRulesDialog.h"
#include "console/LocationRulesModel.h"
#include "settings/FleetSettingsStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vesk {

AlertsPage::AlertsPage(const ConsoleContext &context, QWidget *parent)
    : QWidget(parent), m_context(context),
      m_settings(std::make_unique<FleetSettingsStore>(context.defaults, context.clock)), m_model(context.fleet),
      m_tabs(new QTabWidget), m_acknowledge(new QPushButton(tr("Acknowledge"))),
      m_restartApp(new QPushButton(tr("Restart App"))), m_mute(new QPushButton(tr("Mute Machine"))),
      m_showMachine(new QPushButton(tr("Show Machine"))), m_actionText(new QLabel)
{
    m_model.setSuppressionStore(m_settings.get(), &context.clock);
    m_tabs->setObjectName(QStringLiteral("alertTabs"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    m_active = addTab(tr("Active"), "alertsActive");
    m_history = addTab(tr("History"), "alertsHistory");
    m_fleet = addTab(tr("Fleet"), "alertsFleet");

    m_acknowledge->setObjectName(QStringLiteral("acknowledgeAlert"));
    m_restartApp->setObjectName(QStringLiteral("restartHungApp"));
    m_mute->setObjectName(QStringLiteral("muteMachine"));
    m_showMachine->setObjectName(QStringLiteral("showAlertMachine"));
    m_actionText->setObjectName(QStringLiteral("alertActionText"));
    m_actionText->setWordWrap(true);
    auto *muteMenu = new QMenu(m_mute);
    const std::pair<QString, SuppressionDuration> mutes[] = {
        {ConsoleTexts::muteFor24Hours, SuppressionDuration::twentyFourHours},
        {ConsoleTexts::muteUntilRecovery, SuppressionDuration::untilRecovery},
        {ConsoleTexts::muteIndefinitely, SuppressionDuration::indefinitely},
    };
    for (const auto &[label, duration] : mutes) {
        muteMenu->addAction(label, this, [this, duration]() {
            const auto [list, row] = current();
            if (const std::optional<QString> serial = m_model.actions(list, row).machine)
                m_model.mute(*serial, duration);
        });
    }
    m_mute->setMenu(muteMenu);
    auto *locationRules = new QPushButton(tr("Location notification rules"));
    locationRules->setObjectName(QStringLiteral("openLocationRules"));
    connect(locationRules, &QPushButton::clicked, this, [this]() {
        auto *model = new LocationRulesModel(*m_settings, m_context.clock);
        auto *dialog = new LocationRulesDialog(*model, this);
        model->setParent(dialog); // both go when the dialog closes
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    auto *actions = new QHBoxLayout;
    actions->addWidget(locationRules);
    actions->addWidget(m_actionText, 1);
    actions->addWidget(m_showMachine);
    actions->addWidget(m_mute);
    actions->addWidget(m_restartApp);
    actions->addWidget(m_acknowledge);
    layout->addLayout(actions);
    connect(m_acknowledge, &QPushButton::clicked, this, [this]() { m_model.acknowledge(current().second); });
    connect(m_restartApp, &QPushButton::clicked, this, [this]() { m_model.restartHungApp(current().second); });
    connect(m_showMachine, &QPushButton::clicked, this, [this]() {
        const auto [list, row] = current();
        if (const std::optional<QString> serial = m_model.actions(list, row).machine)
            emit openMachine(*serial);
    });
    connect(m_tabs, &QTabWidget::currentChanged, this, &AlertsPage::updateActions);
    for (const Tab *tab : {&m_active, &m_history, &m_fleet})
        connect(tab->rows, &QListWidget::currentRowChanged, this, &AlertsPage::updateActions);
    connect(&m_model, &AlertsModel::changed, this, &AlertsPage::refresh);
    if (const AlertService *alerts = m_context.alerts) {
        const auto feed = [this, alerts]() { m_model.setLocal(alerts->activeAlerts(), alerts->alertHistory()); };
        connect(alerts, &AlertService::alertsChanged, this, feed);
        feed();
    }
    refresh();
}

AlertsPage::~AlertsPage() = default;

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
    const QSignalBlocker quiet(tab.rows);
    const int selected = tab.rows->currentRow();
    tab.rows->clear();
    tab.rows->addItems(content.rows);
    if (selected < tab.rows->count())
        tab.rows->setCurrentRow(selected);
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
    m_actionText->setText(m_model.actionText());
    updateActions();
}

std::pair<AlertList, int> AlertsPage::current() const
{
    const int tab = m_tabs->currentIndex();
    const AlertList list = tab == 0 ? AlertList::active : tab == 1 ? AlertList::history : AlertList::fleet;
    const Tab &shown = tab == 0 ? m_active : tab == 1 ? m_history : m_fleet;
    return {list, shown.rows->currentRow()};
}

void AlertsPage::updateActions()
{
    const auto [list, row] = current();
    const AlertActions can = m_model.actions(list, row);
    m_mute->setEnabled(can.machine.has_value());
    m_showMachine->setVisible(list == AlertList::fleet);
    m_showMachine->setEnabled(list == AlertList::fleet && can.machine.has_value());
    m_acknowledge->setVisible(list == AlertList::fleet);
    m_acknowledge->setEnabled(can.acknowledgeId.has_value());
    m_restartApp->setVisible(list == AlertList::fleet);
    m_restartApp->setEnabled(can.hungApp.has_value());
    m_restartApp->setText(can.hungApp ? tr("Restart %1").arg(*can.hungApp) : tr("Restart App"));
}

} // namespace vesk
