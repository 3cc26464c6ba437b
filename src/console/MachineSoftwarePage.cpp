#include "console/MachineSoftwarePage.h"

#include "console/AppChooserView.h"
#include "console/ConsoleTexts.h"
#include "platform/Clock.h"

#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vesk {

MachineSoftwarePage::MachineSoftwarePage(ConsoleFleet &fleet, const Clock &clock, QWidget *parent)
    : QWidget(parent), m_clock(clock), m_model(fleet), m_appsText(new QLabel), m_apps(new QTreeWidget),
      m_updatesText(new QLabel), m_updates(new QTreeWidget), m_schedule(new QPushButton(ConsoleTexts::scheduleUpdate)),
      m_pin(new QPushButton(ConsoleTexts::pinCurrentVersion)), m_commandText(new QLabel)
{
    setObjectName(QStringLiteral("machineSoftware"));
    m_appsText->setObjectName(QStringLiteral("machineAppsText"));
    m_appsText->setWordWrap(true);
    m_apps->setObjectName(QStringLiteral("machineApps"));
    m_apps->setRootIsDecorated(false);
    m_apps->setHeaderLabels({tr("Name"), tr("Version"), tr("Build"), tr("State")});
    m_apps->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_updatesText->setObjectName(QStringLiteral("machineUpdatesText"));
    m_updates->setObjectName(QStringLiteral("machineUpdates"));
    m_updates->setRootIsDecorated(false);
    m_updates->setHeaderLabels({tr("App"), tr("Installed"), tr("Available")});
    m_updates->setMaximumHeight(120);
    m_commandText->setObjectName(QStringLiteral("machineAppCommandText"));
    m_commandText->setWordWrap(true);

    auto *updateButtons = new QHBoxLayout;
    updateButtons->addWidget(m_schedule);
    updateButtons->addWidget(m_pin);
    updateButtons->addStretch();
    auto *quit = new QPushButton(tr("Quit App"));
    auto *launch = new QPushButton(tr("Launch App"));
    auto *restart = new QPushButton(tr("Restart App"));
    auto *restartAt = new QPushButton(ConsoleTexts::restartAppAtTime);
    auto *appButtons = new QHBoxLayout;
    for (QPushButton *button : {quit, launch, restart, restartAt})
        appButtons->addWidget(button);
    appButtons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_appsText);
    layout->addWidget(m_apps, 2);
    auto *updatesTitle = new QLabel(QStringLiteral("<b>%1</b>").arg(ConsoleTexts::availableUpdates));
    layout->addWidget(updatesTitle);
    layout->addWidget(m_updatesText);
    layout->addWidget(m_updates);
    layout->addLayout(updateButtons);
    layout->addWidget(new QLabel(tr("<b>App commands</b>")));
    layout->addWidget(new AppChooserView(m_chooser, QStringLiteral("machineAppSearch")), 1);
    layout->addLayout(appButtons);
    layout->addWidget(m_commandText);
    for (QLabel *line : {m_appsText, m_updatesText, m_commandText})
        line->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    const auto command = [this](const char *name) {
        return [this, name]() { m_model.appCommand(QLatin1String(name), m_chooser.bundleIds()); };
    };
    connect(quit, &QPushButton::clicked, this, command("quit_app"));
    connect(launch, &QPushButton::clicked, this, command("launch_app"));
    connect(restart, &QPushButton::clicked, this, &MachineSoftwarePage::confirmRestart);
    connect(restartAt, &QPushButton::clicked, this, [this]() {
        const QStringList ids = m_chooser.bundleIds();
        if (ids.isEmpty())
            return;
        if (const auto at = pickTime(ConsoleTexts::restartAppAtTime, m_model.restartConfirmText(ids)))
            m_model.appCommand(QStringLiteral("restart_app"), ids, at);
    });
    connect(m_schedule, &QPushButton::clicked, this, [this]() {
        const QString id = selectedUpdate();
        if (id.isEmpty())
            return;
        if (const auto at = pickTime(ConsoleTexts::scheduleUpdate, tr("Pick when %1 updates.").arg(id)))
            m_model.scheduleUpdate(id, *at);
    });
    connect(m_pin, &QPushButton::clicked, this, [this]() {
        const QString id = selectedUpdate();
        if (!id.isEmpty())
            m_model.pinCurrentVersion(id);
    });
    connect(m_updates, &QTreeWidget::itemSelectionChanged, this, [this]() {
        m_schedule->setEnabled(!selectedUpdate().isEmpty());
        m_pin->setEnabled(!selectedUpdate().isEmpty());
    });
    connect(&m_model, &MachineSoftwareModel::changed, this, &MachineSoftwarePage::refresh);
    refresh();
}

QString MachineSoftwarePage::selectedUpdate() const
{
    const QList<QTreeWidgetItem *> picked = m_updates->selectedItems();
    return picked.isEmpty() ? QString() : picked.first()->data(0, Qt::UserRole).toString();
}

std::optional<QDateTime> MachineSoftwarePage::pickTime(const QString &title, const QString &prompt)
{
    QDialog dialog(this);
    dialog.setWindowTitle(title);
    auto *edit = new QDateTimeEdit(m_clock.now().toLocalTime().addSecs(3600));
    edit->setCalendarPopup(true);
    edit->setMinimumDateTime(m_clock.now().toLocalTime());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QLabel(prompt);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->dateTime();
}

void MachineSoftwarePage::confirmRestart()
{
    const QStringList ids = m_chooser.bundleIds();
    if (ids.isEmpty())
        return;
    const auto answer = QMessageBox::question(this, tr("Restart App?"), m_model.restartConfirmText(ids),
                                              QMessageBox::Cancel | QMessageBox::Ok, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok)
        m_model.appCommand(QStringLiteral("restart_app"), ids);
}

void MachineSoftwarePage::refresh()
{
    m_appsText->setText(m_model.appsText());
    m_appsText->setVisible(!m_appsText->text().isEmpty());
    m_apps->clear();
    for (const RemoteInstalledApp &app : m_model.apps()) {
        const QString state = !app.isRunning ? QString() : *app.isRunning ? tr("Running") : tr("Stopped");
        auto *item = new QTreeWidgetItem(m_apps, {app.name.value_or(app.bundleId), app.version.value_or(QString()),
                                                  app.build.value_or(QString()), state});
        item->setToolTip(0, app.bundleId);
    }
    m_apps->setVisible(!m_model.apps().isEmpty());
    m_updatesText->setText(m_model.updatesText());
    m_updatesText->setVisible(!m_updatesText->text().isEmpty());
    m_updates->clear();
    for (const MachineUpdate &update : m_model.updates()) {
        auto *item = new QTreeWidgetItem(m_updates, {update.name, update.installedVersion, update.availableVersion});
        item->setData(0, Qt::UserRole, update.bundleId);
    }
    m_updates->setVisible(!m_model.updates().isEmpty());
    m_schedule->setEnabled(!selectedUpdate().isEmpty());
    m_pin->setEnabled(!selectedUpdate().isEmpty());
    if (m_model.serial() != m_shownSerial) {
        m_shownSerial = m_model.serial();
        m_chooser.clearChoice();
    }
    m_chooser.setApps(m_model.appRefs());
    m_commandText->setText(m_model.commandLines().join(QLatin1Char('\n')));
}

} // namespace vesk
