#include "console/SettingsPage.h"

#include "console/ConsoleScreens.h"
#include "console/ConsoleTexts.h"
#include "platform/DefaultsStore.h"

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

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}

} // namespace vesk
