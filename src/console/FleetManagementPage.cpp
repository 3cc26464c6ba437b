#include "console/FleetManagementPage.h"

#include "platform/DefaultsStore.h"
#include "settings/FleetSettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vesk {

namespace keys = FleetSettingsKeys;

const QList<FleetSwitch> &FleetManagementPage::scoutSwitches()
{
    static const QList<FleetSwitch> switches{
        {keys::systemHealthReporting, QStringLiteral("System Scout — CPU, RAM, disk, thermal, battery, uptime")},
        {keys::appStateReporting, QStringLiteral("App Scout — installed apps, running state, versions")},
        {keys::foregroundAppReporting, QStringLiteral("Activity Scout — foreground app identity")},
        {keys::sensitiveTelemetryEnabled,
         QStringLiteral("Sensitive Context — browser URL, local IP, Wi-Fi SSID, network mounts")},
        {keys::remoteCommandsEnabled, QStringLiteral("Remote restart — allow this Mac to be restarted remotely")},
        {keys::appManagementEnabled,
         QStringLiteral("App management — quit, launch, restart, and update apps remotely")},
    };
    return switches;
}

QString FleetManagementPage::savedText(bool masterOn)
{
    return masterOn ? QStringLiteral("Saved — scouts deployed") : QStringLiteral("Scout reporting disabled");
}

FleetManagementPage::FleetManagementPage(DefaultsStore &defaults, QWidget *parent)
    : QWidget(parent), m_defaults(defaults), m_master(new QCheckBox(QStringLiteral("Fleet Management"))),
      m_scope(new QComboBox), m_status(new QLabel)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("<h2>Fleet Management</h2>")));
    m_master->setObjectName(keys::fleetReportingEnabled);
    layout->addWidget(m_master);
    auto *caption = new QLabel(tr("The master switch for all fleet features. When it is on, the scouts gather "
                                  "system, app and network data and report them to the fleet server."));
    caption->setWordWrap(true);
    layout->addWidget(caption);

    const auto write = [this](const QString &key, bool on) {
        m_defaults.setValue(key, on);
        m_status->setText(savedText(m_defaults.boolValue(keys::fleetReportingEnabled)));
        refresh();
    };
    connect(m_master, &QCheckBox::clicked, this, [write](bool on) { write(keys::fleetReportingEnabled, on); });
    for (const FleetSwitch &entry : scoutSwitches()) {
        auto *box = new QCheckBox(entry.label);
        box->setObjectName(entry.key);
        connect(box, &QCheckBox::clicked, this, [write, key = entry.key](bool on) { write(key, on); });
        m_scouts.append(box);
        layout->addWidget(box);
    }

    m_scope->setObjectName(keys::updateSearchScope);
    m_scope->addItem(tr("In the Applications folder only"),
                     UpdateSearchScopes::rawValue(UpdateSearchScope::applicationsFolder));
    m_scope->addItem(tr("Anywhere on this Mac"), UpdateSearchScopes::rawValue(UpdateSearchScope::entireMachine));
    auto *form = new QFormLayout;
    form->addRow(tr("Look for apps to update"), m_scope);
    layout->addLayout(form);
    connect(m_scope, &QComboBox::activated, this, [this](int index) {
        m_defaults.setValue(keys::updateSearchScope, m_scope->itemData(index).toString());
    });

    auto *note = new QLabel(tr("Activity Scout and Sensitive Context stay opt-in and are never enabled automatically."));
    note->setWordWrap(true);
    layout->addWidget(note);
    m_status->setObjectName(QStringLiteral("fleetManagementStatus"));
    layout->addWidget(m_status);
    layout->addStretch();
    refresh();
}

void FleetManagementPage::refresh()
{
    const bool master = m_defaults.boolValue(keys::fleetReportingEnabled);
    m_master->setChecked(master);
    for (int i = 0; i < m_scouts.size(); ++i) {
        m_scouts[i]->setChecked(m_defaults.boolValue(scoutSwitches().at(i).key));
        m_scouts[i]->setEnabled(master);
    }
    const int scope = m_scope->findData(m_defaults.stringValue(keys::updateSearchScope));
    m_scope->setCurrentIndex(scope < 0 ? 0 : scope);
}

} // namespace vesk
