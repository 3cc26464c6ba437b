#include "console/SettingsPage.h"

#include "console/ConsoleScreens.h"
#include "console/ConsoleTexts.h"
#include "console/PollingTexts.h"
#include "platform/DefaultsStore.h"
#include "settings/FleetSettingsStore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vesk {

SettingsPage::SettingsPage(DefaultsStore &defaults, QWidget *parent) : QWidget(parent)
{
    auto *tabs = new QTabWidget;
    auto *sidebar = new QWidget;
    sidebar->setObjectName(QStringLiteral("settingsSidebar"));
    auto *column = new QVBoxLayout(sidebar);
    auto *caption = new QLabel(ConsoleTexts::alwaysVisible);
    caption->setWordWrap(true);
    column->addWidget(caption);

    const auto addSwitch = [&](const QString &label, const QString &key, bool fallback) {
        auto *box = new QCheckBox(label);
        box->setObjectName(key);
        box->setChecked(defaults.hasObject(key) ? defaults.boolValue(key) : fallback);
        connect(box, &QCheckBox::toggled, this, [this, &defaults, key](bool on) {
            defaults.setValue(key, on);
            emit sidebarChanged();
        });
        column->addWidget(box);
    };
    addSwitch(tr("Software (updates and installed apps)"), SidebarKeys::software, true);
    for (const ScreenInfo &info : consoleScreens()) {
        if (!info.visibilityKey.isEmpty())
            addSwitch(info.title, info.visibilityKey, true);
    }
    addSwitch(tr("Focus this machine: list only this Mac (search still finds every machine)"),
              SidebarKeys::focusThisMac, false);
    column->addStretch();
    tabs->addTab(sidebar, tr("Sidebar"));

    auto *polling = new QWidget;
    polling->setObjectName(QStringLiteral("settingsPolling"));
    auto *pollingColumn = new QVBoxLayout(polling);
    const QString lowDataKey = FleetSettingsKeys::lowDataMode;
    auto *lowData = new QCheckBox(tr("Low data mode"));
    lowData->setObjectName(lowDataKey);
    lowData->setChecked(defaults.boolValue(lowDataKey));
    auto *pollingLine = new QLabel(PollingTexts::line(lowData->isChecked()));
    pollingLine->setObjectName(QStringLiteral("pollingLine"));
    pollingLine->setWordWrap(true);
    connect(lowData, &QCheckBox::toggled, this, [&defaults, lowDataKey, pollingLine](bool on) {
        defaults.setValue(lowDataKey, on);
        pollingLine->setText(PollingTexts::line(on));
    });
    pollingColumn->addWidget(lowData);
    pollingColumn->addWidget(pollingLine);
    pollingColumn->addStretch();
    tabs->addTab(polling, tr("Polling"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}

} // namespace vesk
