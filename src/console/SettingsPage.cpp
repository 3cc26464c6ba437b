#include "console/SettingsPage.h"

#include "console/ConsoleContext.h"
#include "console/ConsoleScreens.h"
#include "console/ConsoleTexts.h"
#include "console/PollingTexts.h"
#include "console/SettingsSections.h"
#include "local/AppLock.h"
#include "platform/DefaultsStore.h"
#include "settings/FleetSettingsStore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vesk {

SettingsPage::SettingsPage(const ConsoleContext &context, QWidget *parent) : QWidget(parent), m_lock(context.lock)
{
    DefaultsStore &defaults = context.defaults;
    auto *tabs = new QTabWidget;
    m_tabs = tabs;
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
    tabs->addTab(guarded(sidebar), tr("Sidebar"));

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
    tabs->addTab(guarded(polling), tr("Polling"));

    // The passwords' own tab: the settings lock never covers it, so the settings password
    // itself can always be changed or removed.
    auto *passwords = new QScrollArea;
    passwords->setWidget(SettingsSections::locks(context));
    passwords->setWidgetResizable(true);
    passwords->setFrameShape(QFrame::NoFrame);
    tabs->addTab(passwords, tr("Advanced"));
    tabs->addTab(guarded(SettingsSections::push(context)), tr("Push"));
    tabs->addTab(guarded(SettingsSections::permissions(context)), tr("Permissions"));
    tabs->addTab(guarded(SettingsSections::transfer(context)), tr("Export and Import"));
    tabs->addTab(guarded(SettingsSections::uploadCredentials(context)), tr("Upload Credentials"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    connect(&m_lock, &AppLock::lockStateChanged, this, &SettingsPage::applySettingsLock);
    applySettingsLock();
}

QWidget *SettingsPage::guarded(QWidget *content)
{
    auto *prompt = new QWidget;
    auto *column = new QVBoxLayout(prompt);
    column->addStretch();
    column->addWidget(new QLabel(LockTexts::settingsPrompt), 0, Qt::AlignHCenter);
    auto *field = new QLineEdit;
    field->setObjectName(QStringLiteral("settingsPassword"));
    field->setEchoMode(QLineEdit::Password);
    field->setMaximumWidth(280);
    column->addWidget(field, 0, Qt::AlignHCenter);
    auto *button = new QPushButton(tr("Unlock"));
    column->addWidget(button, 0, Qt::AlignHCenter);
    auto *error = new QLabel;
    error->setObjectName(QStringLiteral("settingsPasswordError"));
    column->addWidget(error, 0, Qt::AlignHCenter);
    column->addStretch();
    connect(button, &QPushButton::clicked, this, [this, field, error]() { unlock(field, error); });
    connect(field, &QLineEdit::returnPressed, button, &QPushButton::click);

    auto *stack = new QStackedWidget;
    stack->addWidget(prompt);
    stack->addWidget(content);
    m_guarded.append(stack);
    return stack;
}

void SettingsPage::applySettingsLock()
{
    for (QStackedWidget *stack : m_guarded)
        stack->setCurrentIndex(m_lock.settingsLocked() ? 0 : 1);
}

QCoro::Task<> SettingsPage::unlock(QLineEdit *field, QLabel *error)
{
    QPointer<QLineEdit> input(field);
    QPointer<QLabel> note(error);
    AppLock &lock = m_lock;
    const bool opened = co_await lock.unlockSettings(field->text());
    if (!input || !note)
        co_return;
    input->clear();
    note->setText(opened ? QString() : tr("Incorrect password."));
}

} // namespace vesk
