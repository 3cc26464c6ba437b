#include "console/BatchSheet.h"

#include "console/AppChooserView.h"
#include "console/ConsoleTexts.h"
#include "console/MachineListModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesk {

BatchSheet::BatchSheet(ConsoleFleet &fleet, const MachineListModel &machines, QWidget *parent)
    : QDialog(parent), m_model(fleet), m_filter(new QLineEdit), m_machines(new QListWidget),
      m_command(new QComboBox), m_appView(new AppChooserView(m_apps, QStringLiteral("batchBundleId"))),
      m_blocker(new QLabel),
      m_send(new QPushButton(tr("Send"))), m_outcomes(new QListWidget)
{
    setWindowTitle(ConsoleTexts::batchTitle);
    setObjectName(QStringLiteral("batchSheet"));
    m_filter->setPlaceholderText(tr("Filter machines"));
    m_machines->setObjectName(QStringLiteral("batchMachines"));
    m_command->setObjectName(QStringLiteral("batchCommand"));
    m_send->setObjectName(QStringLiteral("batchSend"));
    m_outcomes->setObjectName(QStringLiteral("batchOutcomes"));
    m_blocker->setObjectName(QStringLiteral("batchBlocker"));

    for (const MachineEntry &machine : machines.machines()) {
        auto *item = new QListWidgetItem(machine.name + QStringLiteral(" — ") + machine.serial, m_machines);
        item->setData(Qt::UserRole, machine.serial);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    for (const BatchCommand &command : BatchCommandModel::commands())
        m_command->addItem(command.label, command.command);

    auto *form = new QFormLayout;
    form->addRow(tr("Command"), m_command);
    form->addRow(tr("App"), m_appView);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Machines")));
    layout->addWidget(m_filter);
    layout->addWidget(m_machines, 2);
    layout->addLayout(form);
    layout->addWidget(m_blocker);
    layout->addWidget(m_send);
    layout->addWidget(new QLabel(tr("Outcome")));
    layout->addWidget(m_outcomes, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, &BatchSheet::filterMachines);
    connect(m_machines, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        m_model.setPicked(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked);
    });
    connect(m_command, &QComboBox::currentIndexChanged, &m_model, &BatchCommandModel::setCommand);
    connect(&m_apps, &AppChooser::choiceChanged, this, [this]() { m_model.setBundleIds(m_apps.bundleIds()); });
    connect(m_send, &QPushButton::clicked, this, [this]() { m_model.send(); });
    connect(&m_model, &BatchCommandModel::changed, this, &BatchSheet::refresh);
    refresh();
    resize(560, 780);
}

void BatchSheet::filterMachines(const QString &text)
{
    const QString needle = text.trimmed();
    for (int row = 0; row < m_machines->count(); ++row) {
        QListWidgetItem *item = m_machines->item(row);
        item->setHidden(!needle.isEmpty() && !item->text().contains(needle, Qt::CaseInsensitive));
    }
}

void BatchSheet::refresh()
{
    m_appView->setEnabled(m_model.command().needsApp);
    const QString blocker = m_model.blocker();
    m_blocker->setText(blocker);
    m_send->setEnabled(blocker.isEmpty());
    m_outcomes->clear();
    for (const BatchOutcome &outcome : m_model.outcomes())
        m_outcomes->addItem(outcome.serial + QStringLiteral(": ") + outcome.text);
}

} // namespace vesk
